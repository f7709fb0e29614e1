#include "platform/speech/SpeechEngine.h"
#include "support/TestPaths.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {
const QString appId = QStringLiteral("app.veltroscope.Veltroscope");
const QList<int> iconSizes = {16, 24, 32, 48, 64, 128, 256};

struct ToolRun {
    int exitCode = -1;
    QString output;
};

ToolRun run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    ToolRun result;
    if (!process.waitForStarted(30000)) {
        result.output = program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    process.waitForFinished(120000);
    result.output = QString::fromUtf8(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// The RUNPATH folders of an ELF file, $ORIGIN resolved to the file's folder.
QStringList runPath(const QString &file)
{
    const ToolRun dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral("-W"), file});
    const QRegularExpressionMatch entry
        = QRegularExpression(QStringLiteral("\\(RUNPATH\\)\\s+Library runpath: \\[(.*)\\]")).match(dynamic.output);
    QStringList folders;
    for (QString folder : entry.captured(1).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        folders.append(folder.replace(QStringLiteral("$ORIGIN"), QFileInfo(file).absolutePath()));
    }
    return folders;
}

// The files of the speech engine mapped into a running process.
QStringList mappedEngine(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList files;
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(maps.readAll()).split(QLatin1Char('\n'))) {
            const QString file = line.section(QLatin1Char(' '), -1);
            if (file.endsWith(QStringLiteral("/libsherpa-onnx-c-api.so")) && !files.contains(file)) {
                files.append(file);
            }
        }
    }
    return files;
}

// The keys of the [Desktop Entry] group, as written.
QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return keys;
    }
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
        } else if (inGroup && line.contains(QLatin1Char('='))) {
            keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
        }
    }
    return keys;
}

// Element name (with "@lang" when it carries xml:lang) to its text, and the
// release versions, from the metainfo file.
struct Metainfo {
    QMap<QString, QString> texts;
    QStringList releases;
};

Metainfo readMetainfo(const QString &path)
{
    Metainfo info;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return info;
    }
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement()) {
            continue;
        }
        const QString lang = xml.attributes().value(QStringLiteral("xml:lang")).toString();
        const QString key = xml.name().toString() + (lang.isEmpty() ? QString() : QStringLiteral("@") + lang);
        if (xml.name() == QStringLiteral("release")) {
            info.releases.append(xml.attributes().value(QStringLiteral("version")).toString());
        }
        if (xml.name() == QStringLiteral("name") || xml.name() == QStringLiteral("summary")
            || xml.name() == QStringLiteral("p")) {
            info.texts.insert(key, xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified());
        }
    }
    return info;
}

// This build, installed into a prefix of its own.
class Installed : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(prefix.isValid());
        const ToolRun install = run(QStringLiteral(VELTROSCOPE_CMAKE_COMMAND),
            {QStringLiteral("--install"), TestPaths::buildDir(), QStringLiteral("--prefix"),
                prefix.path()});
        ASSERT_EQ(install.exitCode, 0) << install.output.toStdString();
    }

    QString path(const QString &relative) const { return prefix.filePath(relative); }

    QTemporaryDir prefix{QDir::tempPath() + QStringLiteral("/veltroscope-prefix-XXXXXX")};
};
} // namespace

TEST_F(Installed, ProgramsRunPathLeadsToTheEngineAndModelWhichLoad)
{
    const QFileInfo link(path(QStringLiteral("bin/veltroscope")));
    ASSERT_TRUE(link.exists());
    const QFileInfo program(link.canonicalFilePath());
    EXPECT_TRUE(program.isExecutable());
    EXPECT_TRUE(program.canonicalFilePath().startsWith(QFileInfo(prefix.path()).canonicalFilePath() + QLatin1Char('/')))
        << "the link must stay inside the prefix: " << program.canonicalFilePath().toStdString();

    // Relative to the program, so the folder can be moved (or packaged) whole.
    const QStringList folders = runPath(program.filePath());
    EXPECT_EQ(folders.join(':').toStdString(), (program.absolutePath() + QStringLiteral("/speech")).toStdString());
    const std::optional<SpeechEngineLocation> found = SpeechEngineLocation::firstIn(folders);
    ASSERT_TRUE(found) << folders.join(' ').toStdString();
    EXPECT_EQ(found->modelDir, program.absolutePath() + QStringLiteral("/speech/kws-zh-wenetspeech-3.3M"));

    QString error;
    const std::shared_ptr<SpeechEngine> engine = SpeechEngine::load(*found, &error);
    ASSERT_TRUE(engine) << error.toStdString();
    EXPECT_NE(engine->spotter(), nullptr);
    EXPECT_NE(engine->recognizer(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(found->modelDir + QStringLiteral("/test_wavs"))) << "sample audio is not shipped";
}

TEST_F(Installed, DesktopEntryAndMetainfoPassTheValidatorsAndNameWhatWasInstalled)
{
    const QString desktop = path(QStringLiteral("share/applications/") + appId + QStringLiteral(".desktop"));
    const QString metainfo = path(QStringLiteral("share/metainfo/") + appId + QStringLiteral(".metainfo.xml"));

    const ToolRun entryCheck = run(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entryCheck.exitCode, 0) << entryCheck.output.toStdString();
    EXPECT_FALSE(entryCheck.output.contains(QStringLiteral("error"))) << entryCheck.output.toStdString();
    EXPECT_FALSE(entryCheck.output.contains(QStringLiteral("warning"))) << entryCheck.output.toStdString();
    const ToolRun metainfoCheck
        = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    EXPECT_EQ(metainfoCheck.exitCode, 0) << metainfoCheck.output.toStdString();
    // The tree check also looks for the desktop entry the metainfo launches.
    const ToolRun treeCheck = run(
        QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), prefix.path()});
    EXPECT_EQ(treeCheck.exitCode, 0) << treeCheck.output.toStdString();

    const QMap<QString, QString> entry = desktopEntry(desktop);
    EXPECT_TRUE(
        QFileInfo(path(QStringLiteral("bin/") + entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0)))
            .isExecutable())
        << "Exec names the installed program";
    for (int size : iconSizes) {
        const QString icon = path(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(entry.value(QStringLiteral("Icon"))));
        EXPECT_EQ(QImage(icon).size(), QSize(size, size)) << icon.toStdString();
    }
    EXPECT_FALSE(entry.value(QStringLiteral("Name")).isEmpty());
    EXPECT_FALSE(entry.value(QStringLiteral("Name[zh_CN]")).isEmpty());
    EXPECT_FALSE(entry.value(QStringLiteral("Comment[zh_CN]")).isEmpty());
    const QStringList categories
        = entry.value(QStringLiteral("Categories")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_TRUE(categories.contains(QStringLiteral("AudioVideo")) && categories.contains(QStringLiteral("Recorder")));

    // Both languages, and a release entry for the version being built.
    const Metainfo info = readMetainfo(metainfo);
    for (const QString &key : {QStringLiteral("name"), QStringLiteral("name@zh_CN"), QStringLiteral("summary"),
             QStringLiteral("summary@zh_CN"), QStringLiteral("p"), QStringLiteral("p@zh_CN")}) {
        EXPECT_FALSE(info.texts.value(key).isEmpty()) << key.toStdString();
    }
    EXPECT_TRUE(info.releases.contains(QStringLiteral(VELTROSCOPE_VERSION))) << info.releases.join(' ').toStdString();
}

TEST_F(Installed, ProgramStartsFromThePrefixAndOpensItsLibrary)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(path(QStringLiteral("bin/veltroscope")), {});
    ASSERT_TRUE(program.waitForStarted(30000)) << program.errorString().toStdString();

    const QString opened = QStringLiteral("✅ 数据库已打开: ")
        + home.filePath(QStringLiteral(".local/share/Veltroscope/veltroscope.sqlite3"));
    QString output;
    QString errors;
    const auto read = [&] {
        output += QString::fromUtf8(program.readAllStandardOutput());
        errors += QString::fromUtf8(program.readAllStandardError());
    };
    // Camera discovery is the last step of the start-up, device or none; the
    // listener loads the engine once the recording screen is up.
    MainLoop::waitUntil(
        [&] {
            read();
            return (output.contains(QStringLiteral("📷 发现 ")) && !mappedEngine(program.processId()).isEmpty())
                || program.state() == QProcess::NotRunning;
        },
        60000);
    // The installed copy, not the source tree's.
    const QString installedEngine
        = QFileInfo(path(QStringLiteral("lib/veltroscope/speech/libsherpa-onnx-c-api.so"))).canonicalFilePath();
    EXPECT_EQ(mappedEngine(program.processId()).join(' ').toStdString(), installedEngine.toStdString());
    MainLoop::spin(1000);
    read();
    EXPECT_EQ(program.state(), QProcess::Running) << errors.toStdString();
    EXPECT_TRUE(output.contains(opened)) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("📷 发现 "))) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("语音识别引擎加载失败"))) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("❌"))) << output.toStdString();

    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(10000);
    }
}
