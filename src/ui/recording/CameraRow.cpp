#include "ui/recording/CameraRow.h"

#include "capture/CameraManager.h"
#include "library/VideoAspectRatio.h"
#include "library/VideoResolution.h"
#include "ui/common/AppFont.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/PriorityRowLayout.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/UiStyle.h"
#include "ui/recording/CameraMenuButton.h"
#include "ui/recording/RecordingViewState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {
constexpr int symbolPoints = 16;
constexpr int groupSpacing = 6;
constexpr int rowSpacing = 16;
constexpr int dividerHeight = 20;
// Who gives way first when the row is too narrow.
constexpr int elasticText = 0;
constexpr int segmentedControls = 1;

QStringList titlesOf(const auto &cases)
{
    QStringList titles;
    for (const auto &option : cases) {
        titles << option.rawValue();
    }
    return titles;
}
} // namespace

CameraRow::CameraRow(CameraManager *cameraManager, RecordingViewState *state, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager), m_state(state),
      m_cameraMenu(new CameraMenuButton(cameraTitleMaxWidth, this)),
      m_ratio(new SegmentedControl(
          QStringLiteral("比例"), titlesOf(VideoAspectRatio::allCases()), ratioControlWidth, this)),
      m_resolution(new SegmentedControl(
          QStringLiteral("分辨率"), titlesOf(VideoResolution::allCases()), resolutionControlWidth, this)),
      m_saveFolder(new ElidedLabel(Qt::ElideMiddle, this)),
      m_changeFolder(new QPushButton(QStringLiteral("更改"), this))
{
    auto *menu = new QMenu(m_cameraMenu);
    // A popup is a window of its own and takes no font from the row.
    menu->setFont(AppFont::pixelFont(13));
    m_cameraMenu->setMenu(menu);
    m_cameraMenu->setAccessibleDescription(QStringLiteral("选择摄像头"));
    m_saveFolder->setMaximumTextWidth(saveFolderMaxWidth);
    m_changeFolder->setAccessibleName(QStringLiteral("更改"));
    m_changeFolder->setAccessibleDescription(QStringLiteral("更改保存位置"));

    auto *row = new PriorityRowLayout(this);
    row->setSpacing(rowSpacing);
    row->addWidget(group(QStringLiteral("camera.fill"), QStringLiteral("摄像头"), {m_cameraMenu}), elasticText);
    row->addWidget(divider());
    row->addWidget(
        group(QStringLiteral("rectangle.expand.vertical"), QStringLiteral("比例"), {m_ratio}), segmentedControls);
    row->addWidget(divider());
    row->addWidget(group(QStringLiteral("4k.tv"), QStringLiteral("分辨率"), {m_resolution}), segmentedControls);
    row->addFlexibleSpace();
    row->addWidget(
        group(QStringLiteral("folder.fill"), QStringLiteral("保存位置"), {m_saveFolder, m_changeFolder}), elasticText);

    connect(m_ratio, &SegmentedControl::activated, this, [this](int index) {
        m_state->setSelectedAspectRatio(VideoAspectRatio::allCases().value(index, m_state->selectedAspectRatio()));
    });
    connect(m_resolution, &SegmentedControl::activated, this, [this](int index) {
        m_state->setSelectedResolution(VideoResolution::allCases().value(index, m_state->selectedResolution()));
    });
    connect(state, &RecordingViewState::selectedAspectRatioChanged, this, &CameraRow::refreshChoices);
    connect(state, &RecordingViewState::selectedResolutionChanged, this, &CameraRow::refreshChoices);
    connect(m_changeFolder, &QPushButton::clicked, this, [this] {
        if (m_cameraManager) {
            m_cameraManager->chooseSaveFolder();
        }
    });
    if (cameraManager) {
        connect(cameraManager, &CameraManager::availableDevicesChanged, this, &CameraRow::rebuildCameraMenu);
        connect(cameraManager, &CameraManager::selectedDeviceChanged, this, &CameraRow::refreshCameraTitle);
        connect(cameraManager, &CameraManager::saveFolderChanged, this, &CameraRow::refreshSaveFolder);
        connect(cameraManager, &CameraManager::isRecordingChanged, this, &CameraRow::refreshTakeLock);
        connect(cameraManager, &CameraManager::isStartingRecordingChanged, this, &CameraRow::refreshTakeLock);
    }
    rebuildCameraMenu();
    refreshCameraTitle();
    refreshSaveFolder();
    refreshChoices();
    refreshTakeLock();
}

void CameraRow::refreshTakeLock()
{
    // The take keeps the camera, size and ratio it started with; controls
    // that could change them would only show a framing the file will not have.
    const bool locked = m_cameraManager && m_cameraManager->isTakeUnderWay();
    m_cameraMenu->setEnabled(!locked);
    m_ratio->setEnabled(!locked);
    m_resolution->setEnabled(!locked);
}

void CameraRow::addTrailingItem(QWidget *item)
{
    item->setParent(this);
    static_cast<PriorityRowLayout *>(layout())->addWidget(item);
}

QWidget *CameraRow::group(const QString &symbolName, const QString &symbolLabel, QList<QWidget *> items)
{
    auto *box = new QWidget(this);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(groupSpacing);
    auto *symbol = new QLabel(box);
    symbol->setPixmap(UiStyle::tinted(
        SymbolIcon::icon(symbolName), symbolPoints, UiStyle::secondaryText(palette()), devicePixelRatioF()));
    symbol->setFixedSize(symbolPoints, symbolPoints);
    symbol->setAccessibleName(symbolLabel);
    symbol->setProperty("symbolName", symbolName);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    for (QWidget *item : items) {
        item->setParent(box);
        layout->addWidget(item, 0, Qt::AlignVCenter);
    }
    return box;
}

QWidget *CameraRow::divider()
{
    auto *line = new QWidget(this);
    line->setFixedSize(1, dividerHeight);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, UiStyle::separator(this->palette()));
    line->setPalette(palette);
    return line;
}

void CameraRow::rebuildCameraMenu()
{
    QMenu *menu = m_cameraMenu->menu();
    menu->clear();
    if (!m_cameraManager) {
        return;
    }
    for (const CaptureDevice &device : m_cameraManager->availableDevices()) {
        QAction *action = menu->addAction(device.localizedName());
        const QString id = device.uniqueID();
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] {
            if (!m_cameraManager) {
                return;
            }
            for (const CaptureDevice &candidate : m_cameraManager->availableDevices()) {
                if (candidate.uniqueID() == id) {
                    m_cameraManager->selectDevice(candidate);
                    return;
                }
            }
        });
    }
}

void CameraRow::refreshCameraTitle()
{
    const std::optional<CaptureDevice> selected
        = m_cameraManager ? m_cameraManager->selectedDevice() : std::optional<CaptureDevice>();
    m_cameraMenu->setTitle(selected ? selected->localizedName() : QStringLiteral("选择摄像头"));
}

void CameraRow::refreshSaveFolder()
{
    const QString folder = m_cameraManager ? m_cameraManager->saveFolder() : QString();
    m_saveFolder->setText(folder);
    m_saveFolder->setToolTip(folder);
    m_saveFolder->setAccessibleName(folder);
}

void CameraRow::refreshChoices()
{
    m_ratio->setCurrentIndex(int(VideoAspectRatio::allCases().indexOf(m_state->selectedAspectRatio())));
    m_resolution->setCurrentIndex(int(VideoResolution::allCases().indexOf(m_state->selectedResolution())));
}
