#pragma once

// Stands in for the desktop file manager on a test bus.
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    explicit FakeFileManager(bool answers) : m_answers(answers) { }

    QList<QStringList> shownItems;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shownItems << uris;
        startupIds << startupId;
        if (!m_answers) {
            setDelayedReply(true); // and never reply: a hung file manager
            m_unanswered << message();
        }
    }

private:
    bool m_answers;
    QList<QDBusMessage> m_unanswered;
};
