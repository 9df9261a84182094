#pragma once
// A private PostgreSQL server in a folder of its own, for the tests, the
// benchmarks and scripts/run-server.sh:
//
//   <folder>/data        the cluster (initdb), owned by the user "postgres" when run as root
//   <folder>/admin.pw    the password of its administrator "zandrell_admin" (SCRAM, like every account)
//   <folder>/.s.PGSQL.N  its Unix socket; with a TCP port it also listens on localhost
//   <folder>/server.log  its log
//
// The server does not run as root: as root the programs run as "postgres".
#include <QString>

struct TPgServerPlace {
    QString host; // the folder of the socket, or a host name
    int port = 5432;
    QString user;
    QString password;
};

class TPgCluster {
public:
    TPgCluster() = default;
    ~TPgCluster();
    TPgCluster(const TPgCluster &) = delete;
    TPgCluster &operator=(const TPgCluster &) = delete;

    // Why no private cluster can be made here (the server's programs, orafce
    // or Qt's QPSQL driver are missing), in one readable line; empty when it can.
    static QString Unavailable();

    // Makes the cluster when the folder holds none and starts it. tcpPort: 0
    // for the socket alone, -1 for a free port of localhost (kept for the next
    // start), else that port. durable false: no waits for the disk (tests).
    // Raises EOSError with the server's log when it fails.
    void Start(const QString &folder, int tcpPort = 0, bool durable = true);
    // Stops a cluster of that folder (started by this process or an earlier one).
    static void StopFolder(const QString &folder);
    void Stop();
    // Stops the cluster when this object goes (tests); a started server is left running otherwise.
    void SetStopAtEnd(bool stop) { m_stopAtEnd = stop; }

    // The administrator, on the socket.
    TPgServerPlace Administrator() const;
    QString Folder() const { return m_folder; }
    int Port() const { return m_port; }

private:
    QString m_folder;
    int m_port = 5432;
    bool m_started = false;
    bool m_stopAtEnd = false;
};
