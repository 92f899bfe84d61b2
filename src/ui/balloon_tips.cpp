#include "ui/balloon_tips.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kStem = 10;  // height of the pointer towards the control
constexpr int kPadding = 8;
constexpr int kRadius = 8;
const QColor kText(0, 0, 255);
const QColor kBackground(255, 255, 255);

}  // namespace

BalloonTip::BalloonTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint),
      m_text(new QLabel(this)),
      m_close(new QToolButton(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    QPalette colours = m_text->palette();
    colours.setColor(QPalette::WindowText, kText);
    m_text->setPalette(colours);
    m_close->setText(QStringLiteral("×"));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    connect(m_close, &QToolButton::clicked, this, [this] {
        hide();
        emit Dismissed();
    });
}

void BalloonTip::ShowText(const QString& text, const QPoint& globalPos) {
    m_text->setText(text);
    const int closeSize = m_close->sizeHint().height();
    // Widest line first, then wrap at the limit like the platform's tip does.
    const int textWidth =
        std::min(m_text->fontMetrics()
                     .boundingRect(QRect(0, 0, kMaxWidth, 10000), Qt::TextWordWrap, text)
                     .width(),
                 kMaxWidth - 2 * kPadding - closeSize - 2);
    const int textHeight = m_text->heightForWidth(textWidth);
    m_text->setGeometry(kPadding, kStem + kPadding, textWidth, textHeight);
    m_close->setGeometry(kPadding + textWidth + 2, kStem + 2, closeSize, closeSize);
    resize(textWidth + 2 * kPadding + closeSize + 2,
           kStem + std::max(textHeight, closeSize) + 2 * kPadding);
    QPoint at = globalPos + QPoint(-kPadding - kStem, 4);
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
    }
    move(at);
    show();
}

// The rounded box with its stem pointing up at the control; `inset` 0.5 puts a 1-pixel outline
// on pixel centres.
QPainterPath BalloonTip::Shape(qreal inset) const {
    QPainterPath box;
    box.addRoundedRect(
        QRectF(inset, kStem + inset, width() - 2 * inset, height() - kStem - 2 * inset), kRadius,
        kRadius);
    QPainterPath stem;
    stem.moveTo(kPadding + 4, kStem + 1);
    stem.lineTo(kPadding + kStem, inset);
    stem.lineTo(kPadding + 2 * kStem, kStem + 1);
    stem.closeSubpath();
    return box.united(stem);
}

void BalloonTip::resizeEvent(QResizeEvent*) {
    // Without a compositor the translucent corners would show black: the window takes the
    // balloon's shape instead.
    setMask(QRegion(Shape(0).toFillPolygon().toPolygon()));
}

void BalloonTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(118, 118, 118), 1));
    painter.setBrush(kBackground);
    painter.drawPath(Shape(0.5));
}

BalloonTips::BalloonTips(QObject* parent) : QObject(parent) {}

BalloonTips::~BalloonTips() {
    delete m_balloon;
}

void BalloonTips::Add(QWidget* control, const QString& text) {
    if (control == nullptr) {
        return;
    }
    if (!m_texts.contains(control)) {
        m_controls.append(control);
        control->installEventFilter(this);
        control->setAttribute(Qt::WA_Hover);
    }
    m_texts.insert(control, text);
}

QString BalloonTips::TextFor(const QWidget* control) const {
    return m_texts.value(control);
}

QList<QWidget*> BalloonTips::Controls() const {
    QList<QWidget*> controls;
    for (const QPointer<QWidget>& control : m_controls) {
        if (control) {
            controls.append(control);
        }
    }
    return controls;
}

BalloonTip* BalloonTips::Visible() const {
    return (m_balloon && m_balloon->isVisible()) ? m_balloon.data() : nullptr;
}

bool BalloonTips::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (control == nullptr || !m_texts.contains(control)) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::HoverMove:
        case QEvent::MouseMove:
            if (m_dismissedFor != control && !(m_balloon && m_balloon->isVisible())) {
                if (!m_balloon) {
                    m_balloon = new BalloonTip;
                    connect(m_balloon, &BalloonTip::Dismissed, this,
                            [this] { m_dismissedFor = m_shownFor; });
                }
                m_shownFor = control;
                const QPoint anchor =
                    control->mapToGlobal(QPoint(control->width() / 2, control->height()));
                m_balloon->ShowText(m_texts.value(control), anchor);
            }
            break;
        case QEvent::Leave:
        case QEvent::Hide:
            m_dismissedFor = nullptr;
            if (m_balloon) {
                m_balloon->hide();
            }
            break;
        case QEvent::MouseButtonPress:
            // The platform's tip goes away on a click and comes back on the next hover.
            m_dismissedFor = control;
            if (m_balloon) {
                m_balloon->hide();
            }
            break;
        case QEvent::ToolTip:
            return true;  // the balloon is the tip; no second one from Qt
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
