#pragma once
// What the end-to-end tests share: the application object, the configuration file as the
// window saves it (computed here from the simulator's blocks, not by the tool's codec), random
// images and running tarvik-cli in a home of its own.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sim/sim_parameter_set.h"

namespace e2e {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// gtest_main owns main(); CSerial's receive thread and QProcess still want an application.
class QtApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "tarvik-e2e";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_app;
};

inline testing::Environment* const g_qtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// The file the window saves right after reading `set` from a controller: every block byte as
// the controller reported it, one "%d" CR LF line each, except that block 4 byte 21 carries the
// field-weakening coefficient the controller reports in block 5 byte 21.
inline std::string WindowFileOf(const sim::SimParameterSet& set) {
    std::string text;
    for (int block = 1; block <= 7; ++block) {
        for (int byte = 5; byte <= 21; ++byte) {
            const int value = (block == 4 && byte == 21) ? set.Byte(5, 21) : set.Byte(block, byte);
            text += std::to_string(value) + "\r\n";
        }
    }
    return text;
}

inline Bytes RandomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(count);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(byte(generator));
    }
    return out;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ToQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct CliResult {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs tarvik-cli with a home and configuration folder of its own, so that no stored setting
// of the user running the tests (the language above all) leaks in.
class Cli {
public:
    Cli() {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("HOME", m_home.path());
        m_env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        // Records go to the default file under here unless a test names another.
        m_env.insert("XDG_DATA_HOME", m_home.filePath("data"));
    }

    QString Dir() const { return m_home.path(); }
    QString FilePath(const QString& name) const { return m_home.filePath(name); }

    // Started, not waited for; for tests that act on the simulator while the tool runs.
    std::unique_ptr<QProcess> Start(const QStringList& arguments) const {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_env);
        process->setWorkingDirectory(m_home.path());
        process->start(QStringLiteral(TARVIK_CLI_EXE), arguments);
        return process;
    }

    static CliResult Finish(QProcess& process, std::chrono::milliseconds timeout) {
        CliResult result;
        result.finished = process.state() == QProcess::NotRunning ||
                          process.waitForFinished(static_cast<int>(timeout.count()));
        if (!result.finished) {
            process.kill();
            process.waitForFinished();
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    CliResult Run(const QStringList& arguments, std::chrono::milliseconds timeout = 10s) const {
        auto process = Start(arguments);
        return Finish(*process, timeout);
    }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
};

// For failure messages.
inline std::string Describe(const CliResult& r) {
    return "exit " + std::to_string(r.exitCode) + (r.finished ? "" : " (killed: timed out)") +
           "\n--- stdout ---\n" + r.out.toStdString() + "--- stderr ---\n" + r.err.toStdString();
}

}  // namespace e2e
