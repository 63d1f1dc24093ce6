#pragma once
// The splash screen: black over the whole screen with the title picture in
// the middle. A key closes it, a click does not; it goes by itself after 100 s.
// As the About window it also shows lines of text under the picture (version,
// licence, libraries), and a click closes it too.

#include <QBasicTimer>
#include <QImage>
#include <QString>
#include <QWidget>

namespace knetix {

class CSplashDlg : public QWidget {
    Q_OBJECT
public:
    // Deletes itself when closed. Without its picture it closes at once.
    explicit CSplashDlg(QWidget* parent = nullptr, QString about = {});
    bool loaded() const { return !m_picture.isNull(); }
    const QString& aboutText() const { return m_about; }

    static constexpr int kLifetimeMs = 100000;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QImage m_picture;
    QString m_about;
    QBasicTimer m_timer;
};

} // namespace knetix
