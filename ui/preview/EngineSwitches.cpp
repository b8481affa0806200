#include "EngineSwitches.h"

#include <QStringList>

namespace qrn {

QString previewEngineSwitches(const QString &given)
{
    const QString webTransport = QStringLiteral("WebTransport");
    QString blinkFeatures = QStringLiteral("--disable-blink-features=") + webTransport;
    QStringList switches;
    for (const QString &item : given.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (item.startsWith(QLatin1String("--disable-blink-features="))) {
            blinkFeatures = item;
            if (!item.section(QLatin1Char('='), 1).split(QLatin1Char(',')).contains(webTransport))
                blinkFeatures += QLatin1Char(',') + webTransport;
        } else if (!item.startsWith(QLatin1String("--force-webrtc-ip-handling-policy"))
                   && !item.startsWith(QLatin1String("--proxy-")) && item != QLatin1String("--no-proxy-server")
                   && !item.startsWith(QLatin1String("--lang="))) {
            switches << item;
        }
    }
    // WebTransport's QUIC sessions never pass the request interceptor, so the API is removed.
    switches << blinkFeatures;
    // WebRTC opens no UDP socket and may only go through a proxy, and there is no proxy: it sends
    // nothing. Web resources are fetched directly.
    switches << QStringLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp")
             << QStringLiteral("--no-proxy-server");
    switches << QStringLiteral("--lang=ja");
    return switches.join(QLatin1Char(' '));
}

} // namespace qrn
