// Start-up: the launch list from Setup.ini, wherever the front end finds it, into the launch
// arrays and the list box. The file is read twice: the first pass counts the records so that
// the arrays can be sized once, the second fills them.
#include "app/errors.h"
#include "app/frmMain.h"
#include "app/module.h"
#include "launcher/field_reader.h"
#include "launcher/text_encoding.h"

#include <cstdint>
#include <limits>
#include <span>

namespace pikorina {
namespace {

std::string ReadLaunchText(Host& host, const std::string& path) {
    return DecodeLaunchText(host.ReadFile(path), host);
}

// The record counters are 32-bit; counting past the top is an overflow, not a wrap.
std::int32_t Increment(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::max()) throw RuntimeError(kErrOverflow);
    return value + 1;
}

} // namespace

void frmMain::LoadLaunchList() {
    using Module::launchCommands;
    using Module::launchNames;
    const std::string path = host_.LaunchListPath();
    try {
        std::int32_t count = 0;
        {
            const std::string text = ReadLaunchText(host_, path);
            FieldReader file(text, path);
            if (!file.AtEnd()) {
                launchNames.assign(1, {});
                launchCommands.assign(1, {});
                file.ReadRecord(launchNames[0], launchCommands[0]);
            }
            // Counting needs the records' boundaries, not their text.
            while (!file.AtEnd()) {
                file.SkipRecord();
                count = Increment(count);
            }
        }

        const std::string text = ReadLaunchText(host_, path);
        FieldReader file(text, path);
        const auto size = static_cast<std::size_t>(count) + 1;
        launchNames.assign(size, {});
        launchCommands.assign(size, {});
        std::int32_t j = 0;
        while (!file.AtEnd()) {
            // The file grew since the first pass.
            if (static_cast<std::size_t>(j) >= size) {
                throw RuntimeError(kErrSubscript, path, file.PlaceOfNextRecord());
            }
            file.ReadRecord(launchNames[j], launchCommands[j]);
            j = Increment(j);
        }
        ListBox.AddItems(std::span<const std::string>(launchNames).first(j));
        // Fails when the file held no record: there is no item 0.
        ListBox.SetSelected(0);
    } catch (const RuntimeError& e) {
        // Every failure here is the file's, so the report names it.
        if (e.path().empty()) throw RuntimeError(e.number(), path);
        throw;
    }
}

} // namespace pikorina
