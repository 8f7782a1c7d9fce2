// A click on the warning text: the explosion. The text vanishes, a lit stick of dynamite takes
// its place, bursts and grows with a bang after each of the first three waits, the window
// flashes red with the list and buttons gone, and then everything is put back as it was.
//
// Only the four waits hand control back to the event loop, so the list, the buttons and the
// background click keep working in between. The warning text is hidden before the first wait
// and shown again only after the last, which is what keeps a second run from starting inside
// this one.
#include "app/errors.h"
#include "app/frmMain.h"

namespace pikorina {
namespace {

struct Frame {
    Twips top, left, height, width;
};
constexpr Frame kFrameSmall{2280, 2400, 480, 480}; // where the warning text was
constexpr Frame kFrameDouble{2040, 2280, 960, 960};
constexpr Frame kFrameLarge{720, 1800, 1920, 1920}; // Donpa's own rectangle in the design

void Place(ImageControl& image, const Frame& f) {
    image.SetTop(f.top);
    image.SetLeft(f.left);
    image.SetHeight(f.height);
    image.SetWidth(f.width);
}

} // namespace

void frmMain::Label_Click() {
    const OleColor saved = BackColor();
    Label.Hide();
    Place(Donpa, kFrameSmall);
    Donpa.Show();
    // The first bang is due when this wait ends: the sound is read and made ready before it. The
    // file is read at every click, so a Don.wav changed meanwhile is heard at the next.
    host_.LoadSound(ReadSound());
    時間待ち(1);

    // The result is of no interest: a missing or unplayable file leaves the sequence as it is.
    host_.PlaySound();
    Donpa.SetPicture(Donpa_2);
    時間待ち(1);

    host_.PlaySound();
    Place(Donpa, kFrameDouble);
    時間待ち(1);

    host_.PlaySound();
    Place(Donpa, kFrameLarge);
    SetBackColor(kRed);
    ListBox.Hide();
    終了.Hide();
    シャットダウン.Hide();
    キャンセル.Hide();
    // The flag is read now, not at the click: the background may have been switched during the
    // waits above.
    if (backgroundOn == kTrue16) SetPicture(Back_2);
    時間待ち(2);

    Label.Show();
    Donpa.Hide();
    ListBox.Show();
    終了.Show();
    シャットダウン.Show();
    キャンセル.Show();
    // Left and top stay where frame 4 put them; the next run places Donpa before showing it.
    Donpa.SetHeight(480);
    Donpa.SetWidth(480);
    Donpa.SetPicture(Donpa_1);
    if (backgroundOn == kTrue16) SetPicture(Back_1);
    SetBackColor(saved);
}

std::string frmMain::ReadSound() {
    // Read as the launch list is: a plain file only, opened without waiting and within the size
    // limit, so a FIFO or a device of that name cannot hold the explosion. Whatever stops the
    // read is silence.
    try {
        return host_.ReadFile(host_.SoundPath());
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace pikorina
