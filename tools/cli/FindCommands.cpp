// Commands that answer "which groups?": find (the Find Group window's
// filter on the command line) and usage (every background in use, with the
// groups that show it). Both only read the ROM.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <vector>

#include <QString>

#include "Commands.h"
#include "catalogue/DisplayName.h"
#include "catalogue/GroupFilter.h"
#include "patch/OriginalRom.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

// The image's records, read whole; an empty reason when they were. layout,
// when given, is set to the image's.
std::string ReadTable(const std::string& path, const Options& options, om::BattleAnimData& data,
                      om::RomLayout* layout = nullptr) {
    RomReading rom;
    std::string reason;
    if (OpenRom(path, options, rom, reason) && !ReadRomData(rom, data))
        reason = "cannot read '" + path + "': " + std::strerror(errno);
    if (layout)
        *layout = rom.probe.layout;
    return reason;
}

// Which groups' entries differ from those of the original at originalPath;
// an empty reason when it could be used.
std::string ChangedFromOriginal(const std::string& originalPath, const std::string& romPath,
                                const om::RomLayout& layout, const om::BattleAnimData& data,
                                std::vector<bool>& changed) {
    om::ByteVector image;
    om::OriginalRom original;
    std::string reason;
    if (!om::ReadCandidateOriginal(originalPath, romPath, layout, image, original, reason))
        return "'" + originalPath + "' cannot be the original of '" + romPath + "': " + reason;
    om::ByteVector table;
    for (int g = 0; g < om::kGroupCount; ++g)
        for (const int b : EntryOf(data.record(g)))
            table.push_back(static_cast<std::uint8_t>(b));
    changed.assign(om::kGroupCount, false);
    for (const int g : om::GroupsChangedFromOriginal(layout, image, table))
        changed[static_cast<std::size_t>(g)] = true;
    return {};
}

om::GroupFacts FactsOf(const om::BattleAnimData& data, int g) {
    return om::MakeGroupFacts(g, om::ComposeDisplayName(data, g), EntryOf(data.record(g)));
}

}  // namespace

int Find(const Arguments& args, const Options& options) {
    // As grep(1) does: 0 some group matches, 1 none, 2 trouble.
    constexpr int kNoMatch = 1;
    constexpr int kTrouble = 2;
    std::string terms;
    for (std::size_t i = 1; i < args.size(); ++i)
        terms += args[i] + " ";
    const om::GroupFilter filter = om::GroupFilter::Parse(QString::fromUtf8(terms.data(), qsizetype(terms.size())));
    if (!filter.valid())
        return UsageError(om::TerminalSafe(filter.problem().toStdString()));

    om::BattleAnimData data;
    om::RomLayout layout;
    if (const std::string reason = ReadTable(args[0], options, data, &layout); !reason.empty())
        return Fail(reason, kTrouble);
    std::vector<bool> changed(om::kGroupCount, false);
    if (!options.original.empty())
        if (const std::string reason =
                ChangedFromOriginal(options.original, args[0], layout, data, changed);
            !reason.empty())
            return Fail(reason, kTrouble);
    int found = 0;
    for (int g = 0; g < om::kGroupCount; ++g) {
        om::GroupFacts facts = FactsOf(data, g);
        facts.changed = changed[static_cast<std::size_t>(g)];
        if (!filter.matches(facts))
            continue;
        ++found;
        std::cout << g << '\t' << facts.layer1 << '\t' << facts.layer2 << '\t'
                  << om::TerminalSafe(Description(data, g)) << '\n';
    }
    if (!std::cout.good())
        return Fail("cannot write to standard output", kTrouble);
    return found > 0 ? kExitOk : kNoMatch;
}

int Usage(const Arguments& args, const Options& options) {
    om::BattleAnimData data;
    if (const std::string reason = ReadTable(args[0], options, data); !reason.empty())
        return Fail(reason);
    std::cout << "layer,background,count,groups\n";
    for (int layer = 1; layer <= 2; ++layer) {
        if (options.layer != 0 && options.layer != layer)
            continue;
        std::map<int, std::vector<int>> users;  // background -> groups, in order
        for (int g = 0; g < om::kGroupCount; ++g) {
            const om::GroupFacts facts = FactsOf(data, g);
            users[layer == 1 ? facts.layer1 : facts.layer2].push_back(g);
        }
        for (const auto& [background, groups] : users) {
            std::cout << layer << ',' << background << ',' << groups.size() << ',';
            for (std::size_t i = 0; i < groups.size(); ++i)
                std::cout << (i ? " " : "") << groups[i];
            std::cout << '\n';
        }
    }
    return std::cout.good() ? kExitOk : Fail("cannot write to standard output");
}

}  // namespace omcli
