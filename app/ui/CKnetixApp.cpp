#include "app/ui/CKnetixApp.h"

#include "app/ui/CMainFrameWnd.h"
#include "browser/MessageBox.h"
#include "resources/Strings.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLockFile>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

namespace knetix {

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
}

CKnetixApp::~CKnetixApp()
{
    m_frame.reset();
}

CKnetixApp::Start CKnetixApp::initInstance(std::vector<std::string> filesToOpen)
{
    // One copy per user: a second start ends without a word.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    m_lock = std::make_unique<QLockFile>(runtime + QStringLiteral("/knetix.lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0))
        return Start::SecondCopy;

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

    m_frame = std::make_unique<CMainFrameWnd>(m_values, m_settings.get());
    m_frame->setFilesToOpen(std::move(filesToOpen));
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

void CKnetixApp::exitInstance()
{
    if (m_settings)
        saveValueSettings(*m_settings, m_values);
}

} // namespace knetix
