#include "ui/help/AboutDialog.h"

#include "kovi/Version.h"
#include "ui/help/Acknowledgement.h"
#include "ui/help/BrowserStart.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kovi {
namespace {

const QString MakerName = QStringLiteral("The Kovi rZk Lite developers");
const QString MakerPage = QStringLiteral("https://www.example.com/kovi-rzk-lite/");
const QColor LinkBlue(0, 0, 255);
constexpr int LogoSide = 64;

// A picture shrinking into a smaller frame.
QPixmap Logo(qreal pixelRatio) {
    QPixmap logo(QSize(LogoSide, LogoSide) * pixelRatio);
    logo.setDevicePixelRatio(pixelRatio);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, LogoSide);
    sky.setColorAt(0, QColor(0x4a, 0x90, 0xd9));
    sky.setColorAt(1, QColor(0xb8, 0xdc, 0xf5));
    painter.setPen(QPen(QColor(0x1f, 0x3b, 0x5c), 2));
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(3, 3, 58, 58), 6, 6);

    QPainterPath hills;
    hills.moveTo(4, 52);
    hills.lineTo(22, 30);
    hills.lineTo(34, 44);
    hills.lineTo(44, 34);
    hills.lineTo(60, 52);
    hills.lineTo(60, 60);
    hills.lineTo(4, 60);
    hills.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3c, 0x8d, 0x3f));
    painter.drawPath(hills);
    painter.setBrush(QColor(0xff, 0xd5, 0x4f));
    painter.drawEllipse(QPointF(46, 16), 6, 6);

    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(12, 12, 22, 22));
    painter.drawLine(QPointF(50, 50), QPointF(36, 36));
    painter.drawLine(QPointF(36, 36), QPointF(43, 36));
    painter.drawLine(QPointF(36, 36), QPointF(36, 43));
    return logo;
}

QLabel* CentredLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

QString AboutCaption() {
    return QStringLiteral("About %1 v%2.%3.%4...")
        .arg(QString::fromLatin1(ProductName))
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionRevision);
}

QString MakerPageAddress() {
    return MakerPage;
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(AboutCaption());

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);

    auto* image = new QLabel(frame);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(Logo(devicePixelRatioF()));
    image->setAlignment(Qt::AlignCenter);

    auto* product = CentredLabel(QString::fromLatin1(ProductName), QStringLiteral("Label1"), frame);
    QFont productFont(QStringLiteral("MS Sans Serif"));
    productFont.setStyleHint(QFont::SansSerif);
    productFont.setPointSizeF(13.8);
    productFont.setBold(true);
    product->setFont(productFont);

    auto* credit = CentredLabel(QStringLiteral("Written by"), QStringLiteral("Label2"), frame);

    makerLabel_ = CentredLabel(MakerName, QStringLiteral("Label3"), frame);
    QPalette linkColours = makerLabel_->palette();
    linkColours.setColor(QPalette::WindowText, LinkBlue);
    makerLabel_->setPalette(linkColours);
    makerLabel_->setCursor(Qt::PointingHandCursor);
    makerLabel_->setToolTip(MakerPage);
    // Reachable from the keyboard as well: Tab to it, then Enter or Space.
    makerLabel_->setFocusPolicy(Qt::StrongFocus);
    makerLabel_->installEventFilter(this);

    auto* year = CentredLabel(QStringLiteral("2003"), QStringLiteral("Label4"), frame);
    auto* thanks = CentredLabel(AcknowledgementText(), QStringLiteral("Label7"), frame);

    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(24, 16, 24, 16);
    inner->setSpacing(6);
    inner->addWidget(image);
    inner->addWidget(product);
    inner->addSpacing(6);
    inner->addWidget(credit);
    inner->addWidget(makerLabel_);
    inner->addWidget(year);
    inner->addSpacing(10);
    inner->addWidget(thanks);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    thanks->setMinimumWidth(300);
    setFixedSize(sizeHint());
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == makerLabel_) {
        const bool clicked =
            event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            makerLabel_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
        const bool keyed = event->type() == QEvent::KeyPress &&
                           (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter ||
                            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space);
        if (clicked || keyed) {
            openMakerPage();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutDialog::openMakerPage() {
    openURL(MakerPage);
    // The box closes whether or not a browser could be started.
    close();
}

} // namespace kovi
