// The Qt front end's window: a QDialog that implements the window-system services for frmMain.
// The list and the buttons are real widgets, kept in step with the core's surface; the label,
// the image controls and the background picture are painted on the dialog itself, as the
// surface says, since they have no windows of their own.
#pragma once

#include "app/frmMain.h"
#include "app/surface.h"

#include <QDialog>

#include <array>
#include <functional>

class QApplication;
class QListWidget;
class QSoundEffect;

namespace pikorina::qt {

// Fonts, style and Qt's own Japanese texts, for the program and its tests alike.
void SetUpApplication(QApplication& app);

class Window final : public QDialog, public SurfaceWindowSystem {
  public:
    // appPath: the program's folder, where Setup.ini and Don.wav are looked for first; the
    // program's own folder by default.
    explicit Window(QString appPath = {});
    ~Window() override;

    // The window whose handlers the events run.
    void Attach(frmMain& form) { form_ = &form; }
    // Shows the window centred on the screen, active, with the focus on the list.
    void ShowCentred();

    // What the user sees, for the tests: rectangles in pixels of the client area.
    QRect ControlRect(ControlId id) const;
    bool IsShown(ControlId id) const;
    Picture PictureOf(ControlId id) const { return surface()[id].picture; }
    Picture WindowPicture() const { return surface().WindowPicture(); }

    // Answers message boxes instead of a person, when set.
    static std::function<int(std::string_view text, int style, std::string_view title)> msgBoxSeam;

    // WindowSystem
    void AddListItems(std::span<const std::string> items) override;
    void SelectListItem(int index) override;
    int ListIndex() const override;
    double Timer() const override;
    double MonotonicSeconds() const override;
    void DoEvents(double maxWaitSeconds) override;
    int MsgBox(std::string_view text, int style, std::string_view title) override;
    std::string AppPath() const override;
    std::string_view PathSeparator() const override { return "/"; }
    std::string LaunchListPath() const override;
    std::string SoundPath() const override;
    std::string ReadFile(const std::string& path) override;
    std::string DecodeText(std::string_view bytes, TextEncoding encoding) const override;
    void Shell(const std::string& commandLine) override;
    bool mciExecute(std::string_view command) override;
    [[noreturn]] void End(int exitStatus) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

    // SurfaceWindowSystem
    void Raise(frmMain::Handler handler) override;
    void Repaint() override { update(); }
    void ResizeWindow() override;
    void PlaceControl(ControlId id) override;
    void ShowControl(ControlId id, bool visible) override;
    bool HasFocus(ControlId id) const override;
    void FocusWindow() override;
    void FocusControl(ControlId id) override;

  private:
    QWidget* WidgetOf(ControlId id) const { return widgets_[static_cast<int>(id)]; }

    frmMain* form_ = nullptr;
    QString appPath_;
    std::array<QWidget*, kControlCount> widgets_{};
    QListWidget* list_ = nullptr;
    QSoundEffect* sound_ = nullptr;
};

} // namespace pikorina::qt
