#pragma once
// One copy per user: the first start owns a local socket; a later start
// hands its files over through it and ends, and the first copy comes to the
// front and opens them.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLockFile;

namespace knetix {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` tells the copies of one user apart from other programs and users.
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The name for this user: "knetix-" and the user id.
    static QString userName();

    // True when this process is the first copy and now listens; false when
    // another copy runs.
    bool claim();
    // Sends the files (absolute paths; may be none) to the running copy,
    // waiting for it at most `timeoutMs` (it may still be starting). True
    // when the copy took them.
    bool handOver(const QStringList& files, int timeoutMs = 10000) const;

signals:
    // A later start asked to be shown, with these files (maybe none).
    void filesArrived(const QStringList& files);

private:
    void readConnection();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace knetix
