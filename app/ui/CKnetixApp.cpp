#include "app/ui/CKnetixApp.h"

#include "app/ui/CMainDlg.h"
#include "app/ui/CMainFrameWnd.h"
#include "app/ui/SingleInstance.h"
#include "browser/MessageBox.h"
#include "resources/Strings.h"
#include "skin/Look.h"

#include <QDir>
#include <QLibraryInfo>
#include <QFileInfo>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace knetix {

namespace {

// SIGTERM is answered on the event loop: the handler only writes a byte.
int g_termination[2] = {-1, -1};

void onTermination(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_termination[1], &byte, 1);
}

} // namespace

std::optional<std::string> screenRefusal(int workRight, int workBottom, int bitsPerPixel)
{
    if (workBottom < 480 || workRight < 640)
        return std::string("Fehler!");
    if (bitsPerPixel <= 8)
        return std::string(loadString(IDS_NEED_MORE_COLOURS));
    return std::nullopt;
}

CKnetixApp::CKnetixApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Knetix"));
    setOrganizationName(QStringLiteral("Kavon Software"));
    setQuitOnLastWindowClosed(false);
    // Qt's own dialogs in German where its translations are installed.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Message boxes, menus and the standard dialogs in the skin's colours.
    applyProgramLook(*this);
}

CKnetixApp::~CKnetixApp()
{
    m_frame.reset();
}

CKnetixApp::Start CKnetixApp::initInstance(std::vector<std::string> filesToOpen)
{
    // One copy per user: a second start hands its files to the first, which
    // comes to the front and opens them, and ends without a word.
    m_instance = std::make_unique<SingleInstance>(SingleInstance::userName());
    if (!m_instance->claim()) {
        QStringList files;
        for (const std::string& file : filesToOpen)
            files << QFileInfo(QString::fromStdString(file)).absoluteFilePath();
        m_instance->handOver(files);
        return Start::SecondCopy;
    }

    const QScreen* screen = primaryScreen();
    if (!screen)
        return Start::Refused;
    const QRect work = screen->availableGeometry();
    if (const auto refusal = screenRefusal(work.x() + work.width(), work.y() + work.height(), screen->depth())) {
        showMessage(nullptr, QString::fromStdString(*refusal), MessageKind::Error);
        return Start::Refused;
    }

    m_settings = openSettings();
    m_values = loadValueSettings(*m_settings);
    watchTermination();
    // Before a logout the session manager asks for the data: the settings are
    // written; the work itself is not saved behind the user's back.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (CMainDlg* dialog = m_frame ? m_frame->mainDialog() : nullptr)
            dialog->writeSettings();
        exitInstance();
    });

    m_frame = std::make_unique<CMainFrameWnd>(m_values, m_settings.get());
    m_frame->setFilesToOpen(std::move(filesToOpen));
    connect(m_instance.get(), &SingleInstance::filesArrived, m_frame.get(), &CMainFrameWnd::openFromOutside);
    coverScreen(m_frame.get());
    m_frame->show();
    QTimer::singleShot(0, m_frame.get(), [this] {
        m_frame->runMainDialog();
        quit();
    });
    return Start::Run;
}

int CKnetixApp::run()
{
    const int code = exec();
    exitInstance();
    return code;
}

void CKnetixApp::watchTermination()
{
    if (g_termination[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_termination) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_termination[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_termination[0], &byte, 1);
        endSession();
    });
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

void CKnetixApp::endSession()
{
    if (CMainDlg* dialog = m_frame ? m_frame->mainDialog() : nullptr)
        dialog->endSession(); // the frame closes and the loop ends after it
    else
        quit();
}

void CKnetixApp::exitInstance()
{
    if (m_settings)
        saveValueSettings(*m_settings, m_values);
}

} // namespace knetix
