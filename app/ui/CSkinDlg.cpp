#include "app/ui/CSkinDlg.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"
#include "resources/Strings.h"
#include "skin/CFilmPanelDlg.h"
#include "skin/CMyToolTipCtrl.h"
#include "skin/CToolDisplay.h"

#include <QMouseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace knetix {

namespace {

// The seven buttons that the filmstrip panel's wheel shows and hides.
constexpr int kFileButtons[] = {IDC_OPEN_PICTURE, IDC_OPEN_PROJECT, IDC_PRINT, IDC_SAVE_AVI,
                                IDC_SAVE_PICTURE, IDC_SAVE_PROJECT, IDC_SCAN};

} // namespace

QPoint panelOriginFor(QSize screen)
{
    return QPoint((screen.width() - skin::kSkinWidth) / 2, (screen.height() - skin::kSkinHeight) / 2);
}

CSkinDlg::CSkinDlg(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Knetix"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    createControls();
}

CSkinDlg::~CSkinDlg() = default;

void CSkinDlg::createControls()
{
    for (const skin::ControlLayout& c : skin::mainPanelControls()) {
        QWidget* widget = nullptr;
        switch (c.kind) {
        case skin::ControlKind::Tool: {
            auto* b = new CToolSelectButton(c.id, this);
            m_toolGroup.add(b);
            widget = b;
            break;
        }
        case skin::ControlKind::Size: {
            auto* b = new CSizeSelectButton(c.id, this);
            m_sizeGroup.add(b);
            widget = b;
            break;
        }
        case skin::ControlKind::ToolDisplay:
            widget = m_toolDisplay = new CToolDisplay(this);
            break;
        default:
            widget = new CCommandButton(c.id, this);
            break;
        }
        if (auto* button = qobject_cast<CSkinButton*>(widget))
            connect(button, &CSkinButton::command, this, [this](int id) { command(id); });
        m_controls[c.id] = widget;
    }
    m_toolDisplay->setIndexSources([this] { return toolIndex(); }, [this] { return sizeIndex(); });
    for (int id : {IDC_SMALL, IDC_MEDIUM, IDC_LARGE})
        static_cast<CSizeSelectButton*>(m_controls[id])->setToolDisplay(m_toolDisplay);
}

QRect CSkinDlg::screenRect() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, skin::kSkinWidth, skin::kSkinHeight);
}

bool CSkinDlg::initDialog()
{
    setGeometry(screenRect());
    m_filmPanel = new CFilmPanelDlg(this);
    m_skin = loadSkinPicture("MAIN_WND");
    if (m_skin.isNull())
        return false;
    m_origin = panelOriginFor(size());
    if (!placeControls())
        return false;
    if (!m_filmPanel->initialise())
        return false;
    m_filmPanel->placeAt(m_origin);
    connect(m_filmPanel, &CFilmPanelDlg::sliderChanged, this, [this](int value, int id) { sliderChanged(value, id); });
    connect(m_filmPanel, &CFilmPanelDlg::playOrStop, this, [this] { playOrStop(); });
    connect(m_filmPanel, &CFilmPanelDlg::showFilmstrip, this, [this] { showFilmstrip(); });
    connect(m_filmPanel, &CFilmPanelDlg::hideFilmstrip, this, [this] { hideFilmstrip(); });
    connect(m_filmPanel, &CFilmPanelDlg::filmstripBack, this, [this] { filmstripBack(); });
    connect(m_filmPanel, &CFilmPanelDlg::filmstripForward, this, [this] { filmstripForward(); });
    connect(m_filmPanel, &CFilmPanelDlg::showFileButtons, this, &CSkinDlg::showFileButtons);
    connect(m_filmPanel, &CFilmPanelDlg::cancelRequested, this, &CSkinDlg::reject);

    m_toolTips = new CMyToolTipCtrl(this);
    m_toolTips->setActive(true);
    m_toolTips->addTool(m_controls[IDC_SMALL], IDS_TIP_SMALL);
    m_toolTips->addTool(m_controls[IDC_MEDIUM], IDS_TIP_MEDIUM);
    m_toolTips->addTool(m_controls[IDC_LARGE], IDS_TIP_LARGE);
    // Each instrument says its name and what it does.
    const std::pair<int, int> toolTips[] = {{IDC_DRILL, IDS_TIP_DRILL},         {IDC_HOOK, IDS_TIP_HOOK},
                                            {IDC_HAMMER, IDS_TIP_HAMMER},       {IDC_DEFLATOR, IDS_TIP_DEFLATOR},
                                            {IDC_IRON, IDS_TIP_IRON},           {IDC_MAGNIFIER, IDS_TIP_MAGNIFIER},
                                            {IDC_BRUSH, IDS_TIP_BRUSH}};
    for (const auto& [control, text] : toolTips)
        m_toolTips->addTool(m_controls[control], text);
    for (const auto& [id, widget] : m_controls)
        if (id != IDC_TOOL_DISPLAY)
            widget->setAttribute(Qt::WA_Hover);
    return true;
}

bool CSkinDlg::placeControls()
{
    for (const skin::ControlLayout& c : skin::mainPanelControls())
        if (!placeSkinControl(m_controls[c.id], c, m_origin))
            return false;
    return true;
}

void CSkinDlg::recentre(const QRect& screen)
{
    setGeometry(screen);
    m_origin = panelOriginFor(size());
    placeControls();
    if (m_filmPanel)
        m_filmPanel->placeAt(m_origin);
    update();
}

void CSkinDlg::showFileButtons(bool show)
{
    for (int id : kFileButtons)
        m_controls[id]->setVisible(show);
}

QWidget* CSkinDlg::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

CToolButton* CSkinDlg::toolButton(int id) const
{
    return qobject_cast<CToolButton*>(control(id));
}

void CSkinDlg::command(int id)
{
    switch (id) {
    case IDC_MINIMIZE:
        if (parentWidget())
            parentWidget()->showMinimized();
        showMinimized();
        break;
    case IDC_CLOSE:
        done(IDOK);
        break;
    default:
        break;
    }
}

void CSkinDlg::sliderChanged(int, int) {}

void CSkinDlg::setGroupDown(CButtonGroup& group, int id)
{
    CToolButton* down = nullptr;
    for (CToolButton* b : group.buttons()) {
        const bool isDown = b->controlId() == id;
        b->setState(isDown ? skin::StateDown : skin::StateUp);
        if (isDown)
            down = b;
    }
    // The tool display follows the button that is down.
    if (down)
        group.pressed(down);
}

void CSkinDlg::setToolDown(int id)
{
    setGroupDown(m_toolGroup, id);
}

void CSkinDlg::setSizeDown(int id)
{
    setGroupDown(m_sizeGroup, id);
}

void CSkinDlg::reject()
{
    done(IDCANCEL);
}

void CSkinDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Black bands around the skin, then the skin; the controls paint themselves.
    const int w = width(), h = height();
    m_origin = panelOriginFor(size());
    const int top = m_origin.y(), bottom = (h + skin::kSkinHeight) / 2;
    const int left = m_origin.x(), right = (w + skin::kSkinWidth) / 2;
    p.fillRect(QRect(0, 0, w, top), Qt::black);
    p.fillRect(QRect(right, top, w - right, bottom - top), Qt::black);
    p.fillRect(QRect(0, bottom, w, h - bottom), Qt::black);
    p.fillRect(QRect(0, top, left, bottom - top), Qt::black);
    p.drawImage(m_origin, m_skin);
}

void CSkinDlg::mouseMoveEvent(QMouseEvent* event)
{
    // The pointer is over the bare skin: no button shows its focus picture.
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    QDialog::mouseMoveEvent(event);
}

void CSkinDlg::followFocus(QWidget* window)
{
    window->installEventFilter(this);
}

bool CSkinDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Enter)
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->focusPolicy() != Qt::NoFocus)
            w->setFocus(Qt::MouseFocusReason);
    return QDialog::eventFilter(watched, event);
}

} // namespace knetix
