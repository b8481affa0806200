#pragma once

#include <QObject>

class QSocketNotifier;

namespace qrn {

// SIGTERM, SIGINT and SIGHUP as a Qt signal: the handler only writes a byte to a pipe, and the
// event loop turns it into `received`, where any work is safe.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace qrn
