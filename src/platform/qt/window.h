// The Qt front end's window: a QDialog that implements the window-system services for frmMain.
// The list, the buttons and the warning text are real widgets, kept in step with the core's
// surface; the image controls and the background picture are painted on the dialog itself, as
// the surface says, since they have no windows of their own.
#pragma once

#include "app/frmMain.h"
#include "app/surface.h"
#include "platform/qt/paint.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QListWidget;

namespace pikorina::qt {

class Window final : public QDialog, public SurfaceWindowSystem {
  public:
    explicit Window(pikorina::Host& host);
    ~Window() override;

    // What the user sees, for the tests: rectangles in pixels of the client area.
    QRect ControlRect(ControlId id) const;
    bool IsShown(ControlId id) const;

    // Answers message boxes instead of a person, when set.
    static std::function<int(std::string_view text, int style, std::string_view title)> msgBoxSeam;

    // WindowSystem
    void AddListItems(std::span<const std::string> items) override;
    int ListIndex() const override;
    int MsgBox(std::string_view text, int style, std::string_view title) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

    // SurfaceWindowSystem
    void ShowCentred() override;
    void Repaint() override { update(); }
    void ResizeWindow() override;
    void PlaceControl(ControlId id) override;
    void ShowControl(ControlId id, bool visible) override;
    int ListCount() const override;
    void SelectListRow(int index) override;
    void Pump(int maxWaitMilliseconds) override;
    bool HasFocus(ControlId id) const override;
    void FocusWindow() override;
    void FocusControl(ControlId id) override;

  private:
    QWidget* WidgetOf(ControlId id) const { return widgets_[static_cast<int>(id)]; }
    void AnnounceCurrentEntry();

    std::array<QWidget*, kControlCount> widgets_{};
    QListWidget* list_ = nullptr;
    Pictures pictures_{LoadPicture};
    // The frame the window is shown in where the compositor draws none.
    std::unique_ptr<QWidget> ownFrame_;
};

} // namespace pikorina::qt
