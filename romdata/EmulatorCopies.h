// The copies of the edited image that Tools > Run in Emulator hands to an
// emulator. They lie in a folder of the program's own, one sub-folder for
// each running editor, under the ROM's own file name (emulators key their
// battery saves by it). An editor holds a lock beside its sub-folder for as
// long as it runs; a sub-folder whose lock nobody holds is an ended editor's
// and is removed by the next editor that starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace om {

// $XDG_RUNTIME_DIR/OMBattleAnim when XDG_RUNTIME_DIR names an absolute
// folder that exists, else the state folder's OMBattleAnim/emulator
// ($XDG_STATE_HOME, else $HOME/.local/state); read at each call.
std::string EmulatorCopyFolder();

// Removes, from folder, every editor's sub-folder (and lock) that no
// running editor holds. Missing folders are no fault.
void RemoveAbandonedCopies(const std::string& folder);

class EmulatorCopies {
public:
    explicit EmulatorCopies(std::string folder);
    // The sub-folder, its copy and its lock go.
    ~EmulatorCopies();
    EmulatorCopies(const EmulatorCopies&) = delete;
    EmulatorCopies& operator=(const EmulatorCopies&) = delete;

    // Writes image, whole, as fileName in this editor's sub-folder (made and
    // locked on first use), replacing the copy written before; any other
    // copy there goes. The copy's path, or an empty string with error naming
    // the path and the system's reason.
    std::string Write(const std::string& fileName, const std::vector<std::uint8_t>& image,
                      std::string& error);
    // This editor's sub-folder, empty until the first write.
    const std::string& ownFolder() const { return own_; }

private:
    bool MakeOwnFolder(std::string& error);

    std::string folder_;
    std::string own_;
    int lockFd_ = -1;
};

}  // namespace om
