#include "ui/shell/device_button.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QStatusTipEvent>

#include "ui/shell/kestrion_view.h"
#include "ui/shell/view_commands.h"

namespace {

constexpr int kMenuZoneDivisor = 5;
constexpr int kCaptionInset = 4;
constexpr int kArrowSize = 3;
constexpr int kFocusInset = 3;

// A 3-D frame one pixel wide around [left, right) x [top, bottom): top and
// left edges in one colour, bottom and right edges in the other.
void Draw3dRect(QPainter& painter, int left, int top, int right, int bottom, const QColor& topLeft,
                const QColor& bottomRight)
{
    const int width = right - left;
    const int height = bottom - top;
    if (width <= 0 || height <= 0) return;
    painter.fillRect(left, top, width - 1, 1, topLeft);
    painter.fillRect(left, top, 1, height - 1, topLeft);
    painter.fillRect(right - 1, top, 1, height, bottomRight);
    painter.fillRect(left, bottom - 1, width, 1, bottomRight);
}

// The focus frame: black and white dots in turn, so it shows on every
// colour a button takes.
void DrawFocusFrame(QPainter& painter, const QRect& frame)
{
    const auto dot = [&painter](int x, int y) {
        painter.fillRect(x, y, 1, 1, (x + y) % 2 ? Qt::white : Qt::black);
    };
    for (int x = frame.left(); x <= frame.right(); ++x) {
        dot(x, frame.top());
        dot(x, frame.bottom());
    }
    for (int y = frame.top() + 1; y < frame.bottom(); ++y) {
        dot(frame.left(), y);
        dot(frame.right(), y);
    }
}

// The captions' font: the system's general font, variable-pitch.
QFont CaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFixedPitch(false);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

QRgb ButtonColour(const DeviceEntry& entry)
{
    switch (StateOf(entry)) {
    case DeviceState::Controller:
        return kColourController;
    case DeviceState::UnderTest:
        return kColourUnderTest;
    case DeviceState::Selected:
        return kColourSelected;
    case DeviceState::NotSelected:
        break;
    }
    return kColourNotSelected;
}

CDeviceButton::CDeviceButton(const ButtonPlace& place, CKestrionView& view, QWidget* parent)
    : QWidget(parent), entry(*place.entry), view(view), caption(place.caption), hasMenu(place.hasMenu),
      menuZoneWidth(place.rect.width() / kMenuZoneDivisor)
{
    setObjectName(QString::number(place.controlId));
    setAccessibleName(caption);
    setGeometry(place.rect);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(entry.isController ? Qt::NoFocus : Qt::StrongFocus);
    entry.button = this;
}

CDeviceButton::~CDeviceButton()
{
    if (entry.button == this) entry.button = nullptr;
}

void CDeviceButton::RequestRepaint()
{
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void CDeviceButton::SetDeviceMenu(QMenu* newMenu)
{
    if (menu) {
        menu->removeEventFilter(this);
        delete menu;
    }
    menu = newMenu;
    if (menu) {
        menu->setParent(this, menu->windowFlags());
        menu->installEventFilter(this);
        connect(menu, &QMenu::aboutToShow, menu, [this] { menu->setAttribute(Qt::WA_NoMouseReplay, false); });
        connect(menu, &QMenu::aboutToHide, this, &CDeviceButton::OnMenuHidden);
    }
    update();
}

int CDeviceButton::MenuZone() const { return hasMenu && menu ? menuZoneWidth : 0; }

bool CDeviceButton::InMenuZone(int x) const
{
    const int zone = MenuZone();
    return zone > 0 && x >= width() - zone && x < width();
}

void CDeviceButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int clientRight = width();
    const int clientBottom = height();
    const int zone = MenuZone();
    const QColor colour = QColor::fromRgb(ButtonColour(entry));
    painter.fillRect(rect(), colour);

    const int inset = kCaptionInset;
    const QRect captionRect(QPoint(inset, inset), QPoint(clientRight - zone - inset - 1, clientBottom - inset - 1));
    if (!caption.isEmpty() && captionRect.isValid()) {
        const int flags = Qt::AlignCenter | Qt::TextSingleLine;
        painter.setFont(CaptionFont());
        // The text cells carry the face colour, the rest of the button the base.
        const QRect textRect = painter.fontMetrics().boundingRect(captionRect, flags, caption);
        painter.fillRect(textRect.intersected(captionRect), colour);
        painter.setPen(Qt::black);
        painter.drawText(captionRect, flags, caption);
    }

    if (zone > 0) {
        const int arrow = kArrowSize;
        const int zoneLeft = clientRight - zone;
        const int d = menuOpen || pressed ? 1 : 0;
        const int x = (zoneLeft + clientRight) / 2 - arrow + d;
        const int y = clientBottom / 2 + d;
        const QPolygon triangle({QPoint(x, y), QPoint(x + 2 * arrow, y), QPoint(x + arrow, y + arrow)});
        for (const QRect& part : QRegion(triangle, Qt::WindingFill)) painter.fillRect(part, Qt::black);
    }

    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    if (menuOpen) {
        Draw3dRect(painter, 0, 0, clientRight - zone, clientBottom, highlight, shadow);
        Draw3dRect(painter, clientRight - zone, 0, clientRight, clientBottom, shadow, highlight);
    } else if (hot) {
        const int shrink = 8;
        const int left = shrink;
        const int top = shrink;
        const int right = clientRight - zone - shrink;
        const int bottom = clientBottom - shrink;
        if (pressed) {
            Draw3dRect(painter, left, top, right, bottom, shadow, highlight);
        } else {
            Draw3dRect(painter, left, top, right, bottom, highlight, shadow);
        }
    }
    if (FocusFrameShown()) {
        const int inset = kFocusInset;
        DrawFocusFrame(painter,
                       QRect(QPoint(inset, inset), QPoint(clientRight - zone - inset - 1, clientBottom - inset - 1)));
    }
}

void CDeviceButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    keyboardFocus = false;
    const int x = qRound(event->position().x());
    if (InMenuZone(x)) {
        OpenDeviceMenu();
    } else if (!entry.isController) {
        ToggleSelection();
        pressed = true;
    }
    update();
}

void CDeviceButton::keyPressEvent(QKeyEvent* event)
{
    const bool space = event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!space && !menuKey) {
        QWidget::keyPressEvent(event);
        return;
    }
    keyboardFocus = true;
    // Held down, Space toggles once.
    if (space && !event->isAutoRepeat()) ToggleSelection();
    if (menuKey && MenuZone() > 0 && !menuOpen) OpenDeviceMenu(true);
    update();
}

void CDeviceButton::contextMenuEvent(QContextMenuEvent* event)
{
    // Some desktops send the menu key as a request for a context menu
    // before the key itself; a right click opens nothing.
    if (event->reason() != QContextMenuEvent::Keyboard || MenuZone() == 0) {
        QWidget::contextMenuEvent(event);
        return;
    }
    keyboardFocus = true;
    if (!menuOpen) OpenDeviceMenu(true);
}

void CDeviceButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        keyboardFocus = true;
        ShowSelectionTip(true);
        break;
    case Qt::MouseFocusReason:
        keyboardFocus = false;
        break;
    default:
        // Back from a menu or another window: as it was.
        break;
    }
    update();
}

void CDeviceButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // A menu or another window only borrows the focus.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        if (keyboardFocus && !hot) ShowSelectionTip(false);
        keyboardFocus = false;
    }
    update();
}

bool CDeviceButton::event(QEvent* event)
{
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) {
        // A modal dialog takes the pointer, and the release of a press.
        pressed = false;
        RecheckHot();
    }
    return QWidget::event(event);
}

void CDeviceButton::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    pressed = false;
    update();
}

void CDeviceButton::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    // While the left button is held the pointer stays ours; track whether it
    // is still over the button so the frame follows it.
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != hot) {
        hot = inside;
        update();
    }
}

void CDeviceButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is not a second toggle.
    event->accept();
}

void CDeviceButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    hot = true;
    if (!(QApplication::mouseButtons() & Qt::LeftButton)) pressed = false;
    ShowSelectionTip(true);
    update();
}

void CDeviceButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hot = false;
    ShowSelectionTip(false);
    update();
}

bool CDeviceButton::eventFilter(QObject* watched, QEvent* event)
{
    // The click on this button that closes its menu only closes it: on
    // platforms that pass the closing click on to the window below, it must
    // not reach the button again and reopen the menu or toggle the drive.
    if (watched == menu && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint local = mapFromGlobal(mouse->globalPosition().toPoint());
        if (!menu->rect().contains(mouse->position().toPoint()) && rect().contains(local)) {
            menu->setAttribute(Qt::WA_NoMouseReplay);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CDeviceButton::OpenDeviceMenu(bool fromKeyboard)
{
    menuOpen = true;
    repaint();
    view.SetMenuTarget(entry.bus, entry.targetId);
    menu->popup(mapToGlobal(QPoint(0, height())));
    if (!fromKeyboard) return;
    // Opened from the keyboard, the first item waits for Return.
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isEnabled()) continue;
        menu->setActiveAction(action);
        break;
    }
}

void CDeviceButton::OnMenuHidden()
{
    menuOpen = false;
    RecheckHot();
    update();
}

void CDeviceButton::RecheckHot()
{
    const QWidget* modal = QApplication::activeModalWidget();
    const bool blocked = modal && modal != window();
    const bool over = !blocked && isVisible() && QApplication::widgetAt(QCursor::pos()) == this;
    if (over == hot) return;
    hot = over;
    ShowSelectionTip(hot);
    update();
}

void CDeviceButton::ToggleSelection()
{
    // A drive a run holds keeps its selection.
    SetDeviceSelected(entry, !entry.selected);
    ShowSelectionTip(true);
}

void CDeviceButton::ShowSelectionTip(bool show)
{
    // Told on the spot rather than kept as the widget's status tip, so the
    // text follows every change of the selection.
    if (entry.isController) return;
    QString text;
    if (show && SelectionLocked(entry)) {
        text = QString::fromUtf8(kStatusDriveHeld);
    } else if (show) {
        text = QString::fromUtf8(entry.selected ? kStatusUnselectDrive : kStatusSelectDrive);
    }
    QStatusTipEvent tip(text);
    QCoreApplication::sendEvent(this, &tip);
}
