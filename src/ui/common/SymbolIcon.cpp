#include "ui/common/SymbolIcon.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace {
const QHash<QString, QStringList> &themeTable()
{
    static const QHash<QString, QStringList> table = {
        {QStringLiteral("video.circle.fill"), {QStringLiteral("camera-video"), QStringLiteral("media-record")}},
        {QStringLiteral("doc.text.fill"), {QStringLiteral("text-x-generic"), QStringLiteral("document-edit")}},
        {QStringLiteral("film.stack"), {QStringLiteral("video-x-generic"), QStringLiteral("folder-videos")}},
        {QStringLiteral("questionmark.circle.fill"), {QStringLiteral("help-about"), QStringLiteral("help-browser")}},
        {QStringLiteral("camera.fill"), {QStringLiteral("camera-photo"), QStringLiteral("camera-video")}},
        {QStringLiteral("rectangle.expand.vertical"), {QStringLiteral("view-fullscreen")}},
        {QStringLiteral("4k.tv"), {QStringLiteral("video-display")}},
        {QStringLiteral("folder.fill"), {QStringLiteral("folder")}},
        {QStringLiteral("record.circle"), {QStringLiteral("media-record")}},
        {QStringLiteral("stop.fill"), {QStringLiteral("media-playback-stop")}},
        {QStringLiteral("play.fill"), {QStringLiteral("media-playback-start")}},
        {QStringLiteral("plus"), {QStringLiteral("list-add"), QStringLiteral("document-new")}},
        {QStringLiteral("trash"), {QStringLiteral("edit-delete"), QStringLiteral("user-trash")}},
        {QStringLiteral("pencil"), {QStringLiteral("document-edit")}},
        {QStringLiteral("video.fill"), {QStringLiteral("camera-video-symbolic"), QStringLiteral("video-x-generic")}},
        {QStringLiteral("video.slash"), {QStringLiteral("camera-disabled-symbolic"), QStringLiteral("camera-video")}},
        {QStringLiteral("folder"), {QStringLiteral("folder-symbolic"), QStringLiteral("folder")}},
        {QStringLiteral("doc.text.magnifyingglass"), {QStringLiteral("edit-find"), QStringLiteral("system-search")}},
    };
    return table;
}
} // namespace

QStringList SymbolIcon::themeNames(const QString &symbolName)
{
    QStringList names;
    for (const QString &name : themeTable().value(symbolName)) {
        names << name << name + QStringLiteral("-symbolic");
    }
    return names;
}

QIcon SymbolIcon::icon(const QString &symbolName)
{
    for (const QString &name : themeNames(symbolName)) {
        if (QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    return fallback(symbolName);
}

QIcon SymbolIcon::fallback(const QString &symbolName)
{
    // A grey disc with the symbol's first letter: plain, but never empty.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(120, 120, 128));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(16);
    painter.setFont(font);
    const QString letter = symbolName.isEmpty() ? QStringLiteral("?") : symbolName.left(1).toUpper();
    painter.drawText(pixmap.rect(), Qt::AlignCenter, letter);
    painter.end();
    return QIcon(pixmap);
}
