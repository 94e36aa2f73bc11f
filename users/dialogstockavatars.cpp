#include "dialogstockavatars.h"

#include "accountpicture.h"
#include "systempaths.h"
#include "ui_dialogstockavatars.h"
#include "userslog.h"

#include <QAbstractItemView>
#include <QCameraInfo>
#include <QDir>
#include <QHoverEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>

#include <unistd.h>

namespace {
constexpr int tileSize = 112;
constexpr int faceSize = 100;
constexpr int faceOffset = 6;
constexpr int lookAlikeTolerance = 25;
} // namespace

DelegateIconOnly::DelegateIconOnly(QObject* parent) : QStyledItemDelegate(parent) {}

DelegateIconOnly::~DelegateIconOnly() = default;

bool DelegateIconOnly::event(QEvent* event) {
    const QEvent::Type type = event->type();
    auto* view = qobject_cast<QAbstractItemView*>(parent());
    if (view && (type == QEvent::HoverEnter || type == QEvent::HoverLeave || type == QEvent::HoverMove)) {
        view->update(view->indexAt(static_cast<QHoverEvent*>(event)->pos()));
        return true;
    }
    return QStyledItemDelegate::event(event);
}

void DelegateIconOnly::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setRenderHint(QPainter::Antialiasing);
    QColor frame = Qt::transparent;
    QColor fill = Qt::transparent;
    if (opt.state & QStyle::State_Selected) {
        frame = QColor(QStringLiteral("#1053a0"));
        fill = QColor(QStringLiteral("#87cefa"));
    } else if (opt.state & QStyle::State_MouseOver) {
        frame = QColor(QStringLiteral("#87cefa"));
        fill = QColor(QStringLiteral("#f0f8ff"));
    }
    const QRectF inner = QRectF(opt.rect).adjusted(1, 1, -1, -1);
    painter->fillRect(inner, fill);
    painter->setPen(QPen(frame, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->drawRoundedRect(inner, 3.0, 3.0);
    const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
    painter->drawPixmap(opt.rect.topLeft() + QPoint(2, 2), icon.pixmap(tileSize, tileSize));
    painter->restore();
}

DialogStockAvatars::DialogStockAvatars(QWidget* parent)
    : QDialog(parent), ui(new Ui::DialogStockAvatars), model(new QStandardItemModel(this)) {
    ui->setupUi(this);
    QListView* view = ui->listViewAvatars;
    view->setViewMode(QListView::IconMode);
    view->setIconSize(QSize(tileSize, tileSize));
    view->setGridSize(QSize(tileSize, tileSize));
    view->setWordWrap(true);
    view->setResizeMode(QListView::Adjust);
    view->setDragEnabled(false);
    view->setAcceptDrops(false);
    view->setDragDropMode(QAbstractItemView::NoDragDrop);
    view->setModel(model);
    view->setItemDelegate(new DelegateIconOnly(this));
    view->verticalScrollBar()->setSingleStep(20);
    view->setStyleSheet(
        QStringLiteral("QListView {    background-color: white;    padding: 6px;}QListView::item "
                       "{    background-color: white;    margin: 0px;}"));
    addStockFaces();
    selectCurrentFace();
    connect(ui->pushButtonSelectAvatar, &QPushButton::clicked, this, &DialogStockAvatars::accept);
    connect(view, &QListView::clicked, this, &DialogStockAvatars::onSelectionChanged);
    connect(view, &QListView::doubleClicked, this, &DialogStockAvatars::accept);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    listCameras();
}

DialogStockAvatars::~DialogStockAvatars() {
    delete ui;
}

void DialogStockAvatars::addStockFaces() {
    const QString folder = SystemPaths::path(QStringLiteral("/usr/share/pixmaps/faces/"));
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg")},
                                                     QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        QPixmap picture(folder + name);
        if (picture.size() != QSize(faceSize, faceSize))
            picture =
                picture.scaled(faceSize, faceSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        QPixmap tile(tileSize, tileSize);
        tile.fill(Qt::transparent);
        QPainter painter(&tile);
        painter.drawPixmap(faceOffset, faceOffset, picture);
        painter.end();
        auto* item = new QStandardItem(QIcon(tile), QString());
        item->setData(folder + name, Qt::UserRole);
        model->appendRow(item);
    }
    // Nothing installs them with the program: an empty grid alone would
    // read as a fault.
    if (names.isEmpty()) {
        ui->labelNoPictures->setText(
            tr("No stock pictures are installed.\nThey are looked for in %1 (PNG and JPEG files).")
                .arg(folder));
        ui->labelNoPictures->show();
        ui->listViewAvatars->hide();
    }
}

bool DialogStockAvatars::imagesLookAlike(const QImage& picture, const QImage& tile) {
    const QImage region =
        tile.copy(faceOffset, faceOffset, faceSize, faceSize).convertToFormat(QImage::Format_Grayscale8);
    const QImage current = picture.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < current.height(); ++y) {
        const uchar* a = current.constScanLine(y);
        const uchar* b = y < region.height() ? region.constScanLine(y) : nullptr;
        for (int x = 0; x < current.width(); ++x) {
            const int other = (b && x < region.width()) ? b[x] : 0;
            if (qAbs(int(a[x]) - other) > lookAlikeTolerance)
                return false;
        }
    }
    return true;
}

// The invoking user's own picture is read like any file a user controls,
// away from the GUI thread; the tile is preselected when it arrives.
void DialogStockAvatars::selectCurrentFace() {
    const QString face = QDir::homePath() + QStringLiteral("/.face");
    const QString sudoUid = qEnvironmentVariable("SUDO_UID");
    bool numeric = false;
    const uid_t owner = sudoUid.toUInt(&numeric);
    AccountPicture::readInBackground(
        this,
        [face, owner = numeric ? owner : ::getuid()] {
            const QByteArray bytes = AccountPicture::readFile(face, owner, AccountPicture::maxFaceBytes);
            return AccountPicture::decode(bytes, AccountPicture::Crop::None, QSize(faceSize, faceSize));
        },
        [this](const QImage& current) { selectLookAlike(current); });
}

void DialogStockAvatars::selectLookAlike(const QImage& current) {
    if (current.isNull()) {
        qCDebug(lcUsers) << "User icon image could not be loaded.";
        return;
    }
    // Chosen meanwhile: the choice stands.
    if (!selectedImagePath.isEmpty())
        return;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QImage tile = model->item(row)->icon().pixmap(tileSize, tileSize).toImage();
        if (imagesLookAlike(current, tile)) {
            const QModelIndex index = model->index(row, 0);
            ui->listViewAvatars->setCurrentIndex(index);
            ui->listViewAvatars->scrollTo(index, QAbstractItemView::EnsureVisible);
            ui->pushButtonSelectAvatar->setEnabled(true);
            onSelectionChanged();
            return;
        }
    }
}

void DialogStockAvatars::onSelectionChanged() {
    selectedImagePath = ui->listViewAvatars->currentIndex().data(Qt::UserRole).toString();
    ui->pushButtonSelectAvatar->setEnabled(!selectedImagePath.isEmpty());
}

void DialogStockAvatars::accept() {
    if (selectedImagePath.isEmpty()) {
        QMessageBox::warning(this, tr("Selection Required"), tr("Please select an image."));
        return;
    }
    QDialog::accept();
}

void DialogStockAvatars::listCameras() {
    if (!lcUsers().isDebugEnabled())
        return;
    const QList<QCameraInfo> cameras = QCameraInfo::availableCameras();
    if (cameras.isEmpty())
        qCDebug(lcUsers) << "No cameras found on this device.";
    for (const QCameraInfo& camera : cameras)
        qCDebug(lcUsers) << "Found camera:" << camera.description() << camera.deviceName();
    qCDebug(lcUsers) << "Current DISPLAY:" << qEnvironmentVariable("DISPLAY");
}
