// Fuzzing what a user's Setup.ini and command lines can throw at the program. The first byte
// of an input picks the target, the rest is the data:
//   0: the field reader alone, record by record;
//   1: the whole start-up load, through the fake window system;
//   2: command-line splitting and the sound command's path.
// Besides the sanitizers' checks, each target asserts what must hold for any input.
#include "app/frmMain.h"
#include "app/module.h"
#include "fake_window_system.h"
#include "launcher/command_line.h"
#include "launcher/field_reader.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace pikorina;

constexpr std::string_view kSetup = "C:\\Tools\\Setup.ini";

void Require(bool condition) {
    if (!condition) std::abort();
}

// The lines of a text, each of CR, LF and CR LF ending one: the last line a report may name.
std::size_t LinesIn(std::string_view text) {
    std::size_t lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && !text.substr(i + 1).starts_with('\n'))) ++lines;
    }
    return lines;
}

void ReadRecords(std::string_view text) {
    FieldReader reader(text, "Setup.ini");
    try {
        std::size_t records = 0;
        while (!reader.AtEnd()) {
            std::string name, command;
            reader.ReadRecord(name, command);
            // Every record takes at least one byte, so the reader always gets to the end.
            Require(++records <= text.size());
        }
    } catch (const RuntimeError& e) {
        Require(e.number() == kErrInputPastEnd);
        // The failure points at a line of the file.
        Require(e.place().line >= 1 && e.place().line <= LinesIn(text));
    }
}

void Load(std::string_view text) {
    test::FakeWindowSystem ws;
    ws.host.files[std::string(kSetup)] = {std::string(text)};
    frmMain form(ws, ws.host);
    try {
        form.Raise(&frmMain::Form_Load);
        // Loaded: the list shows exactly the names, the first selected.
        Require(!ws.listItems.empty());
        Require(ws.listItems == Module::launchNames);
        Require(Module::launchCommands.size() == Module::launchNames.size());
        Require(ws.listIndex == 0);
        form.Raise(&frmMain::終了_Click);
        Require(ws.host.started.size() + ws.boxes.size() == 1);
    } catch (const ProgramEnd& end) {
        // Not loaded: one report, and the end.
        Require(end.status == 1);
        Require(ws.boxes.size() == 1 && ws.boxes[0].title == "ピコリナ");
        // A record that cannot be read is reported with the line it began on, within the file,
        // on the report's last line, after the path.
        const std::string_view report = ws.boxes[0].text;
        const std::size_t path = report.find(kSetup);
        Require(path != std::string_view::npos);
        const std::string_view place = report.substr(path + kSetup.size());
        Require(place.empty() == !report.starts_with("実行時エラー '62'"));
        if (!place.empty()) {
            std::size_t line = 0;
            Require(place.starts_with("\r\n"));
            std::from_chars(place.data() + 2, place.data() + place.size(), line);
            Require(line >= 1 && line <= LinesIn(text));
        }
    }
}

void Split(std::string_view text) {
    if (const auto words = SplitCommandLine(text)) {
        std::size_t total = 0;
        for (const std::string& w : *words)
            total += w.size();
        Require(total <= text.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0: ReadRecords(text); break;
    case 1: Load(text); break;
    default: Split(text); break;
    }
    return 0;
}
