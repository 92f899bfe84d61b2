#pragma once
// A recording receiver for the sender's tests: captures every write and progress report, and
// can play the receiver's side of a well-behaved transfer.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/modem/modem_sender.h"

using Bytes = std::vector<std::uint8_t>;

class RecordingOutput : public ModemOutput {
public:
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        writes.emplace_back(data, data + length);
    }
    std::vector<Bytes> writes;
};

// The test image: never constant across a 256-byte boundary, so a packet cut from the wrong
// offset shows.
inline Bytes PatternImage(std::size_t size) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    }
    return image;
}

inline bool IsBlockZero(const Bytes& w) {
    return w.size() == kModemHeaderPacketSize && w[0] == kModemSoh && w[1] == 0x00 && w[2] == 0xFF;
}

inline bool IsEndOfBatch(const Bytes& w) {
    if (!IsBlockZero(w))
        return false;
    for (std::size_t i = 3; i < w.size(); ++i) {
        if (w[i] != 0)
            return false;
    }
    return true;
}

// A sender armed with an image, writing into `out`, m_busy set as the download command does.
struct SenderRig {
    explicit SenderRig(std::uint32_t size, std::string name = "fw.bin",
                       ModemDialect dialect = ModemDialect::kBootLoader)
        : sender(std::make_unique<ModemSender>()), image(PatternImage(size)), dialect(dialect) {
        sender->SetOutput(&out);
        sender->SetDialect(dialect);
        sender->SetProgressCallback(&SenderRig::OnProgress);
        sender->Init(this);
        if (size > 0) {
            sender->SetFileInfo(name, size);
            sender->SetFileData(image.data(), image.size());
        }
        sender->m_busy = 1;
    }

    static void OnProgress(void* user, int percent) {
        auto* rig = static_cast<SenderRig*>(user);
        rig->progress.push_back(percent);
        // Calls back into the sender from its own callback, as the GUI side may.
        rig->percentSeen.push_back(percent == 100 ? 100 : rig->sender->Percent());
        rig->busyWhenReported.push_back(rig->sender->m_busy.load());
    }

    void Feed(std::uint8_t b) { sender->HandleByte(b); }

    // Answers like a well-behaved receiver until the end-of-batch block is acknowledged.
    void RunCleanTransfer() {
        Feed(kModemCrcRequest);
        for (std::size_t handled = 0; handled < out.writes.size() && handled < 100000; ++handled) {
            const bool endOfBatch = IsEndOfBatch(out.writes[handled]);
            const bool eot = out.writes[handled] == Bytes{kModemEot};
            Feed(kModemAck);
            if (endOfBatch)
                break;
            if (handled == 0)
                Feed(kModemCrcRequest);  // after block 0 the data phase opens
            // A standard receiver asks for the next block 0 once it has acknowledged the EOT.
            if (eot && dialect == ModemDialect::kStandard)
                Feed(kModemCrcRequest);
        }
    }

    // The image as the receiver would store it: the packets between block 0 and the first EOT
    // joined, cut to the announced size.
    Bytes Received() const {
        Bytes data;
        for (std::size_t i = 1; i < out.writes.size() && out.writes[i].size() > 1; ++i) {
            data.insert(data.end(), out.writes[i].begin() + 3, out.writes[i].end() - 2);
        }
        if (data.size() > image.size())
            data.resize(image.size());
        return data;
    }

    RecordingOutput out;
    std::unique_ptr<ModemSender> sender;
    Bytes image;
    ModemDialect dialect;
    std::vector<int> progress;
    std::vector<int> percentSeen;
    std::vector<int> busyWhenReported;
};
