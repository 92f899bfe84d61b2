#pragma once
// Shared pieces of the parameter model tests: a fixture that starts every test from the
// program's start-up state, and block builders.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <utility>

#include "core/params/block_layout.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "core/params/parameter_values.h"

class ParamsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetParameterState(); }
    void TearDown() override { ResetParameterState(); }
};

// A block with the given frame bytes (5..21) set and all others 0.
inline BlockBytes BlockWith(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    BlockBytes block{};
    for (const auto& [frameByte, value] : bytes)
        block[frameByte - kBlockFirstByte] = value;
    return block;
}

inline ParameterBlock RandomParameterBlock(std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    ParameterBlock blocks{};
    for (BlockBytes& block : blocks)
        for (std::uint8_t& b : block)
            b = static_cast<std::uint8_t>(byte(rng));
    return blocks;
}

inline BlockBytes WrittenBlock(int blockNumber) {
    BlockBytes block{};
    const BlockView view = BlockOf(g_paramWriteFrames[blockNumber - 1]);
    std::copy(view.begin(), view.end(), block.begin());
    return block;
}

// Byte `frameByte` of block `blockNumber` (both 1-based as in the frames) of a set of blocks.
inline std::uint8_t At(const ParameterBlock& blocks, int blockNumber, int frameByte) {
    return blocks[blockNumber - 1][frameByte - kBlockFirstByte];
}
