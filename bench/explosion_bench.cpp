// The explosion in-process, on the real Qt window: the process's CPU time over the wall time of
// whole sequences, and how long after its end mark each of the waits returns.
//
//   explosion_bench DON_WAV RUNS busy|pump
//
// The window runs its handlers against a stand-in window system that passes every call through
// to the real window and watches the clock calls of 時間待ち: a wait reads the midnight clock
// first (its start t0, from which the end mark is computed) and then the monotonic clock before
// every check, so the last monotonic reading of a wait is the one that ended it. Once that
// clock says the time is up, the wait reads the midnight clock again to see it past the mark:
// a midnight reading right after a monotonic one is such a check, any other starts a wait. In
// "busy" mode the stand-in also replaces the pump with the obvious loop:
// QCoreApplication::processEvents() over and over until the time is up, never sleeping. That is the
// reference for the CPU figure.
//
// Prints one line per run: "run WALL_S CPU_S" and one per wait: "wait N LATE_MS PUMPS".
#include "app/frmMain.h"
#include "app/module.h"
#include "platform/qt/application.h"
#include "platform/qt/host.h"
#include "platform/qt/window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using pikorina::ControlId;
using pikorina::Geometry;
using pikorina::OleColor;
using pikorina::Twips;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Wait {
    double t0 = 0;      // the midnight clock at the start
    double m0 = NAN;    // the first monotonic reading
    double mLast = NAN; // the last one: the reading that ended the wait
    int pumps = 0;      // calls of the pump
};

// Both the window and the host, passing everything on to the real ones and watching the clocks
// and the pump.
class Watching final : public pikorina::WindowSystem, public pikorina::Host {
  public:
    Watching(pikorina::qt::Window& w, pikorina::qt::Host& h, bool busy)
        : w_(w), h_(h), busy_(busy) {}
    // Timer() and MonotonicSeconds() are const in the interface; the record is the watcher's own.
    mutable std::vector<Wait> waits;

    void SetWindowWidth(Twips v) override { w_.SetWindowWidth(v); }
    void SetWindowHeight(Twips v) override { w_.SetWindowHeight(v); }
    OleColor BackColor() const override { return w_.BackColor(); }
    void SetBackColor(OleColor c) override { w_.SetBackColor(c); }
    void SetWindowPicture(ControlId i) override { w_.SetWindowPicture(i); }
    void SetGeometry(ControlId c, Geometry which, Twips v) override { w_.SetGeometry(c, which, v); }
    void SetVisible(ControlId c, bool v) override { w_.SetVisible(c, v); }
    void SetImagePicture(ControlId t, ControlId s) override { w_.SetImagePicture(t, s); }
    void AddListItems(std::span<const std::string> items) override { w_.AddListItems(items); }
    void SelectListItem(int i) override { w_.SelectListItem(i); }
    int ListIndex() const override { return w_.ListIndex(); }
    double Timer() const override {
        const double t = h_.Timer();
        if (!std::exchange(afterMonotonic_, false)) waits.push_back({t});
        return t;
    }
    double MonotonicSeconds() const override {
        const double m = h_.MonotonicSeconds();
        if (!waits.empty()) {
            Wait& wait = waits.back();
            (std::isnan(wait.m0) ? wait.m0 : wait.mLast) = m;
        }
        afterMonotonic_ = true;
        return m;
    }
    void DoEvents(double maxWaitSeconds) override {
        if (!waits.empty()) ++waits.back().pumps;
        if (!busy_) return w_.DoEvents(maxWaitSeconds);
        const double until = h_.MonotonicSeconds() + maxWaitSeconds;
        while (h_.MonotonicSeconds() < until)
            QCoreApplication::processEvents();
    }
    int MsgBox(std::string_view text, int style, std::string_view title) override {
        return w_.MsgBox(text, style, title);
    }
    std::string AppPath() const override { return h_.AppPath(); }
    std::string_view PathSeparator() const override { return h_.PathSeparator(); }
    std::unique_ptr<pikorina::OpenFile> OpenPlainFile(const std::string& path) override {
        return h_.OpenPlainFile(path);
    }
    std::string DecodeCodePage(std::string_view bytes) const override {
        return h_.DecodeCodePage(bytes);
    }
    bool TakesArgumentList() const override { return h_.TakesArgumentList(); }
    void StartProgram(std::span<const std::string> command) override { h_.StartProgram(command); }
    void LoadSound(std::string wave) override { h_.LoadSound(std::move(wave)); }
    bool PlaySound() override { return h_.PlaySound(); }
    [[noreturn]] void End(int exitStatus) override { h_.End(exitStatus); }

  private:
    pikorina::qt::Window& w_;
    pikorina::qt::Host& h_;
    bool busy_;
    mutable bool afterMonotonic_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: explosion_bench DON_WAV RUNS busy|pump\n");
        return 2;
    }
    QApplication app(argc, argv);
    pikorina::qt::SetUpApplication(app);
    const QString donWav = QString::fromLocal8Bit(argv[1]);
    const int runs = std::atoi(argv[2]);
    const bool busy = std::string_view(argv[3]) == "busy";

    QTemporaryDir dir;
    {
        QFile setup(dir.filePath("Setup.ini"));
        if (!setup.open(QIODevice::WriteOnly)) return 1;
        for (int i = 0; i < 10; ++i)
            setup.write("\"時計\",xclock -update 1\n");
    }
    if (!donWav.isEmpty() && !QFile::copy(donWav, dir.filePath("Don.wav"))) return 1;

    pikorina::qt::Host host(dir.path());
    pikorina::qt::Window window(host);
    Watching watching(window, host, busy);
    pikorina::frmMain form(watching, watching);
    window.Start(form);
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QTest::qWait(200);

    static constexpr int kSeconds[] = {1, 1, 1, 2};
    for (int run = 0; run < runs; ++run) {
        watching.waits.clear();
        const double cpu0 = CpuSeconds();
        const double wall0 = host.MonotonicSeconds();
        form.Raise(&pikorina::frmMain::Label_Click);
        const double wall = host.MonotonicSeconds() - wall0;
        const double cpu = CpuSeconds() - cpu0;
        std::printf("run %.6f %.6f\n", wall, cpu);
        if (watching.waits.size() != 4) {
            std::fprintf(stderr, "explosion_bench: %zu waits, not 4\n", watching.waits.size());
            return 1;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            const Wait& w = watching.waits[i];
            const double endMark = std::nearbyint(w.t0 + kSeconds[i]);
            const double ended = w.t0 + (w.mLast - w.m0);
            std::printf("wait %d %.3f %d\n", kSeconds[i], (ended - endMark) * 1000.0, w.pumps);
        }
        std::fflush(stdout);
    }
    return 0;
}
