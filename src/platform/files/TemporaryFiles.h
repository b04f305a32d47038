#pragma once

// Temporary files that no other user can predict, redirect or leave behind:
// a new file beside the one it will replace, a folder private to the
// process, and the clean-up of what an interrupted write left on a volume.

#include <string>

namespace qel::platform {

// Creates a new, empty file in the folder of `target`, so that it can later be
// renamed over `target`, and returns its open descriptor (read and write,
// close-on-exec); sets `path` to its full path. Its name is
// ".~qel-<process id>-<6 random letters or digits>.tmp". The file is created
// with O_CREAT | O_EXCL | O_NOFOLLOW and mode 0666 less the umask: it is never
// an existing file, never reached through a symbolic link, and has the mode
// the user's new files have. Returns -1 (errno set, `path` untouched) when the
// folder cannot take a new file or `target` names no file.
int createTemporaryBeside(const std::string& target, std::string& path);

// Whether `name` (a file name without folder) has the form that
// createTemporaryBeside() gives; sets `processId` to the id in it.
bool isTemporaryName(const std::string& name, unsigned long& processId);

// Removes from `folder` the temporary files of createTemporaryBeside() whose
// process no longer runs: what a write interrupted by a crash, a kill or a
// pulled card left behind. Files of running processes (including this one)
// and all other files stay. Returns how many files were removed; a folder
// that cannot be read gives 0.
int removeLeftoverTemporaries(const std::string& folder);

// Whether `name` (a folder name without its parent) has the form that
// PrivateTemporaryFolder gives; sets `processId` to the id in it.
bool isPrivateFolderName(const std::string& name, unsigned long& processId);

// Removes from `parent` (the temporary folder) the folders of
// PrivateTemporaryFolder, with everything in them, whose process no longer
// runs: what a process that was killed or crashed could not remove. Only real
// folders of the current user go; links are never followed, and folders of
// running processes (including this one), of other users, and all other
// entries stay. Returns how many folders were removed; a parent that cannot
// be read gives 0. Call it at program start.
int removeLeftoverPrivateFolders(const std::string& parent);

// A folder that only the current user can enter (mode 0700, whatever the
// umask), made under temporaryFolder() and removed with everything in it when
// the object goes. Its name, "qel-<process id>-<6 random letters or digits>",
// no one can predict, and it tells which process the folder belongs to, so
// that removeLeftoverPrivateFolders() can remove it once that process has
// ended without removing it.
class PrivateTemporaryFolder {
public:
    // Creates the folder. Use isValid() to learn whether that worked.
    PrivateTemporaryFolder();
    ~PrivateTemporaryFolder();

    PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
    PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;

    // Whether the folder was created; when not, error() says why.
    bool isValid() const { return !path_.empty(); }
    // The folder, ending with '/'; empty when it could not be created.
    const std::string& path() const { return path_; }
    // The system's text for why the folder could not be created.
    const std::string& error() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

} // namespace qel::platform
