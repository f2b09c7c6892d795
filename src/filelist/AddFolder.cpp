#include "filelist/AddFolder.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <set>
#include <utility>

#include "ui/Prompts.h"

namespace {

// A real folder, whatever path or link reached it.
using FolderKey = std::pair<dev_t, ino_t>;

QString WithSlash(const QString& strFolder) {
    return strFolder.endsWith(u'/') ? strFolder : strFolder + u'/';
}

// Owns one open directory listing.
class Listing {
  public:
    explicit Listing(const QString& strFolder) : dir(opendir(QFile::encodeName(strFolder))) {}
    ~Listing() {
        if (dir) closedir(dir);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    bool IsOpen() const { return dir != nullptr; }
    dirent* Next() { return readdir(dir); }
    // Where the entry leads, links followed; false when that cannot be found out.
    bool Stat(const dirent* entry, struct stat& st) const {
        return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0;
    }

  private:
    DIR* dir;
};

// What one collection carries from level to level.
struct Walk {
    std::set<FolderKey> visited;
    QElapsedTimer sinceEvents;

    // Lets pending window events run. A large tree reaches this point tens of thousands of times
    // a second, and each run polls the window system, so runs closer together than a millisecond
    // are left out: the window still reacts at once, and the walk is not slowed down.
    void LetEventsRun() {
        if (sinceEvents.isValid() && sinceEvents.nsecsElapsed() < 1'000'000) return;
        QCoreApplication::processEvents();
        sinceEvents.start();
    }
};

void CollectLevel(QStringList& folders, bool recurse, Walk& walk) {
    QStringList found;
    for (const QString& strFolder : std::as_const(folders)) {
        const QString strParent = WithSlash(strFolder);
        Listing listing(strParent);
        walk.LetEventsRun();
        if (!listing.IsOpen()) continue;  // unreadable: nothing below it is entered
        while (const dirent* entry = listing.Next()) {
            // Hidden entries (and so "." and "..") are not part of the listing.
            if (entry->d_name[0] == '.') continue;
            walk.LetEventsRun();
            if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            struct stat st;
            if (!listing.Stat(entry, st) || !S_ISDIR(st.st_mode)) continue;
            if (!walk.visited.insert({st.st_dev, st.st_ino}).second) continue;  // entered already
            found << strParent + QFile::decodeName(entry->d_name) + u'/';
        }
    }
    if (!found.isEmpty() && recurse) CollectLevel(found, true, walk);
    for (const QString& strFolder : std::as_const(found)) {
        walk.LetEventsRun();
        folders << strFolder;
    }
}

}  // namespace

QString BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt) {
    return prompts.GetExistingDirectory(owner, strPrompt);
}

void CollectSubfolders(QStringList& folders, bool recurse) {
    // The folders given count as entered, so a link back to one of them is not followed.
    Walk walk;
    for (const QString& strFolder : std::as_const(folders)) {
        struct stat st;
        if (stat(QFile::encodeName(strFolder), &st) == 0)
            walk.visited.insert({st.st_dev, st.st_ino});
    }
    CollectLevel(folders, recurse, walk);
}

QStringList ListFolderFiles(const QString& strFolder, const QString& strPattern) {
    QStringList names;
    names.reserve(100);
    Listing listing(WithSlash(strFolder));
    if (!listing.IsOpen()) return names;
    const QByteArray pattern = QFile::encodeName(strPattern);
    while (const dirent* entry = listing.Next()) {
        // No FNM_PERIOD: hidden files match like any other.
        if (fnmatch(pattern.constData(), entry->d_name, FNM_CASEFOLD) != 0) continue;
        // Regular files only (links to them included): never folders, and never devices or pipes,
        // which could block the analysis that reads them.
        if (entry->d_type != DT_REG) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
            struct stat st;
            if (!listing.Stat(entry, st) || !S_ISREG(st.st_mode)) continue;
        }
        names << QFile::decodeName(entry->d_name);
    }
    return names;
}
