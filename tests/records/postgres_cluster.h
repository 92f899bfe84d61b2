#pragma once
// A throwaway PostgreSQL server in a temporary folder: initdb and pg_ctl from Debian's
// packages, run as an unprivileged user when the tests run as root, listening only on a Unix
// socket in that folder. Linux only.

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

class PostgresCluster {
public:
    static constexpr int kPort = 54329;

    // Empty when the server runs; otherwise why it could not be started.
    QString Start() {
        const QString bin = FindBin();
        if (bin.isEmpty())
            return "no PostgreSQL server programs (initdb) are installed";
        m_bin = bin;
        if (!m_dir.isValid())
            return "no temporary folder";
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::WriteOther |
                                                QFile::ExeOther);
        if (geteuid() == 0) {
            // The server refuses to run as root.
            m_prefix = {"runuser", "-u", "nobody", "--"};
            QProcess::execute("chmod", {"1777", m_dir.path()});
        }
        QString output;
        if (!Run("initdb",
                 {"-D", DataDir(), "-U", "tarvik", "-A", "trust", "-E", "UTF8", "--no-sync"},
                 &output)) {
            return "initdb failed: " + output;
        }
        if (!Resume())
            return "the server did not start: " + Log();
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "cluster-admin");
        db.setHostName(m_dir.path());
        db.setPort(kPort);
        db.setUserName("tarvik");
        db.setDatabaseName("postgres");
        if (!db.open())
            return "cannot connect: " + db.lastError().text();
        QSqlQuery(db).exec("CREATE DATABASE records");
        db.close();
        return QString();
    }

    bool Stop() { return Run("pg_ctl", {"-D", DataDir(), "-m", "fast", "-w", "stop"}); }
    bool Resume() {
        return Run(
            "pg_ctl",
            {"-D", DataDir(), "-l", m_dir.filePath("log"), "-w", "-o",
             QString("-k %1 -c listen_addresses= -p %2 -c fsync=off").arg(m_dir.path()).arg(kPort),
             "start"});
    }

    // Freezes the server and its sessions (SIGSTOP): it stops answering without closing a
    // connection, as a hung machine does. Continue undoes it; the destructor too.
    void Freeze() {
        m_frozen = Processes();
        for (pid_t pid : m_frozen)
            ::kill(pid, SIGSTOP);
    }
    void Continue() {
        for (pid_t pid : m_frozen)
            ::kill(pid, SIGCONT);
        m_frozen.clear();
    }

    ~PostgresCluster() {
        Continue();
        if (!m_bin.isEmpty())
            Stop();
        QSqlDatabase::removeDatabase("cluster-admin");
    }

    QString Url(const QString& user = "tarvik") const {
        return QString("postgresql://%1@/records?host=%2&port=%3")
            .arg(user, m_dir.path())
            .arg(kPort);
    }
    QString Folder() const { return m_dir.path(); }

private:
    static QString FindBin() {
        const QStringList versions =
            QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
            const QString bin = "/usr/lib/postgresql/" + *it + "/bin";
            if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/pg_ctl"))
                return bin;
        }
        return QString();
    }
    QString DataDir() const { return m_dir.filePath("data"); }
    // The postmaster and its children.
    QList<pid_t> Processes() const {
        QList<pid_t> pids;
        QFile pidFile(DataDir() + "/postmaster.pid");
        if (!pidFile.open(QIODevice::ReadOnly))
            return pids;
        const pid_t postmaster = static_cast<pid_t>(pidFile.readLine().trimmed().toInt());
        if (postmaster <= 0)
            return pids;
        pids << postmaster;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields[1].toInt() == postmaster)
                pids << static_cast<pid_t>(entry.toInt());
        }
        return pids;
    }
    QString Log() const {
        QFile f(m_dir.filePath("log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
    bool Run(const QString& program, const QStringList& args, QString* output = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        QStringList all = m_prefix;
        all << m_bin + "/" + program << args;
        p.start(all.takeFirst(), all);
        const bool ok =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (output != nullptr)
            *output = QString::fromLocal8Bit(p.readAll());
        return ok;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QStringList m_prefix;
    QList<pid_t> m_frozen;
};
