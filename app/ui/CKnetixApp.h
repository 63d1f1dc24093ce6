#pragma once
// The application object: checks the screen, lets only one copy run, shows
// the main frame with the start-up picture, loads the settings, runs the main
// dialog and writes the settings back at the end.

#include "app/ui/Settings.h"

#include <QApplication>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace knetix {

class CMainFrameWnd;
class SingleInstance;

// Why a screen is refused, or nothing: the work area must reach 640 x 480
// and the screen must show more than 256 colours.
std::optional<std::string> screenRefusal(int workRight, int workBottom, int bitsPerPixel);

class CKnetixApp : public QApplication {
    Q_OBJECT
public:
    CKnetixApp(int& argc, char** argv);
    ~CKnetixApp() override;

    enum class Start { Run, SecondCopy, Refused };
    // Start-up. Anything but Run ends the program at once: a second copy
    // after handing its files to the first, an unsuitable screen after its
    // message.
    Start initInstance(std::vector<std::string> filesToOpen);
    // Runs until the main dialog ends, then writes the settings.
    int run();

    ValueSettings& values() { return m_values; }
    // The interface's whole-number scale, as chosen before the application
    // object was made.
    void setInterfaceFactor(int factor) { m_factor = factor; }
    int interfaceFactor() const { return m_factor; }

    // The session ends (SIGTERM, or the session manager ends the program):
    // the settings are written and the program ends without a question.
    void endSession();

private:
    void exitInstance();
    void watchTermination();

    ValueSettings m_values;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<CMainFrameWnd> m_frame;
    int m_factor = 1;
};

} // namespace knetix
