// The Qt front end's window: a QDialog that implements the window-system services for frmMain.
// The list and the buttons are real widgets; the label, the image controls and the background
// picture are painted on the dialog's own surface, as they have no windows of their own.
#pragma once

#include "app/clicks.h"
#include "app/design.h"
#include "app/frmMain.h"
#include "app/window_system.h"

#include <QDialog>
#include <QPixmap>
#include <QPointer>

#include <array>
#include <functional>

class QApplication;
class QListWidget;
class QPushButton;
class QSoundEffect;

namespace pikorina::qt {

// Fonts, style and Qt's own Japanese texts, for the program and its tests alike.
void SetUpApplication(QApplication& app);

class Window final : public QDialog, public WindowSystem {
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
    Picture PictureOf(ControlId id) const { return State(id).picture; }
    Picture WindowPicture() const { return windowPicture_; }

    // Answers message boxes instead of a person, when set.
    static std::function<int(std::string_view text, int style, std::string_view title)> msgBoxSeam;

    // WindowSystem
    void SetWindowWidth(Twips width) override;
    void SetWindowHeight(Twips height) override;
    OleColor BackColor() const override { return backColor_; }
    void SetBackColor(OleColor color) override;
    void SetWindowPicture(ControlId image) override;
    void SetGeometry(ControlId control, Geometry which, Twips value) override;
    void SetVisible(ControlId control, bool visible) override;
    void SetImagePicture(ControlId target, ControlId source) override;
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
    void reject() override;

  private:
    ControlState& State(ControlId id) { return controls_[id]; }
    const ControlState& State(ControlId id) const { return controls_[id]; }
    QWidget* WidgetOf(ControlId id) const;
    void PlaceWidget(ControlId id);
    void Fire(frmMain::Handler handler);
    SurfaceClicks::Target HitTest(QPoint pos) const;
    QColor ColorOf(OleColor color) const;

    frmMain* form_ = nullptr;
    QString appPath_;
    ControlStates controls_;
    OleColor backColor_ = kButtonFace;
    Picture windowPicture_ = Picture::None;
    Twips outerWidth_ = kDesignWidth;
    Twips outerHeight_ = kDesignHeight;
    QListWidget* list_;
    QPushButton* exit_;
    QPushButton* cancel_;
    QPushButton* shutdown_;
    QFont labelFont_;
    SurfaceClicks clicks_;
    QPointer<QWidget> focusBeforeHiding_;
    QSoundEffect* sound_ = nullptr;
};

} // namespace pikorina::qt
