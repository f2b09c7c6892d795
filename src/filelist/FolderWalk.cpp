// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FolderWalk.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstring>
#include <set>
#include <utility>

#include "common/FileIdentity.h"
#include "filelist/NameOrder.h"

namespace {

// A real folder, whatever path or link reached it.
using FolderKey = FileIdentity;

QByteArray WithSlash(const QByteArray& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Matches names against a wildcard pattern as fnmatch does with letter case ignored. fnmatch
// turns every name into wide characters first, which costs more than reading the folder; the
// usual pattern, "*" and then a plain ASCII tail such as ".mp3", is instead a case-blind
// comparison of the name's last bytes. A tail with "i" or "k" stays with fnmatch, since letters
// from outside ASCII fold to those two (the Turkish dotted capital I, the Kelvin sign).
class NameMatcher {
  public:
    explicit NameMatcher(const QByteArray& patternBytes) : pattern(patternBytes) {
        tailOnly = pattern.startsWith('*');
        for (qsizetype i = 1; i < pattern.size() && tailOnly; ++i) {
            const char c = AsciiLower(pattern[i]);
            tailOnly = static_cast<unsigned char>(c) >= 0x20 &&
                       static_cast<unsigned char>(c) < 0x80 && c != '*' && c != '?' && c != '[' &&
                       c != '\\' && c != 'i' && c != 'k';
            tail += c;
        }
    }

    bool Matches(const char* name) const {
        // No FNM_PERIOD: hidden files match like any other.
        if (!tailOnly) return fnmatch(pattern.constData(), name, FNM_CASEFOLD) == 0;
        const size_t length = std::strlen(name);
        const size_t tailLength = static_cast<size_t>(tail.size());
        if (length < tailLength) return false;
        const char* end = name + (length - tailLength);
        for (size_t i = 0; i < tailLength; ++i) {
            if (AsciiLower(end[i]) != tail[qsizetype(i)]) return false;
        }
        return true;
    }

  private:
    QByteArray pattern;
    QByteArray tail;  // lower case
    bool tailOnly = false;
};

// One folder opened for reading with readdir, which takes the entries from the kernel many to a
// call (raw getdents64 calls read the folders of a large tree no faster: bench/filelist), and the
// folder's identity from the same open folder, so that reading a folder costs one open, one fstat
// and the reads of its entries.
class Listing {
  public:
    explicit Listing(const QByteArray& folder) : dir(opendir(folder.constData())) {}
    ~Listing() {
        if (dir) closedir(dir);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    bool IsOpen() const { return dir != nullptr; }
    // The real folder being read; false when that cannot be found out.
    bool Key(FolderKey& key) const {
        struct stat st;
        if (!dir || fstat(dirfd(dir), &st) != 0) return false;
        key = FileIdentity::Of(st);
        return true;
    }
    // The next entry in listing order; nullptr at the end or on a read error.
    const dirent64* Next() { return readdir64(dir); }
    // Where the entry leads, links followed; false when that cannot be found out.
    bool Stat(const dirent64* entry, struct stat& st) const {
        return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0;
    }

  private:
    DIR* dir;  // opened non-blocking, close-on-exec
};

// The real folder at the path folder, links followed; false when it is not a folder (any more).
bool FolderKeyOf(const QByteArray& folder, FolderKey& key) {
    struct stat st;
    if (stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    key = FileIdentity::Of(st);
    return true;
}

// What one collection carries from level to level.
struct Walk {
    std::set<FolderKey> visited;
    QElapsedTimer sinceEvents;
    const NameMatcher* matcher = nullptr;  // set when the walk also lists each folder's files
    NameOrder order;                       // of each folder's names

    // Lets pending window events run. A large tree reaches this point tens of thousands of times
    // a second, and each run polls the window system, so runs closer together than a millisecond
    // are left out: the window still reacts at once, and the walk is not slowed down.
    void LetEventsRun() {
        if (sinceEvents.isValid() && sinceEvents.nsecsElapsed() < 1'000'000) return;
        QCoreApplication::processEvents();
        sinceEvents.start();
    }
};

// Reads folder (a path ending in "/") once. With a walk, window events run meanwhile, and a
// folder that is not one of the given ones is first checked against the folders entered so far:
// when it was entered before (reached by another road, such as a link), it is not read and the
// result is false. With found: its subfolders that are not hidden go there, links to folders
// included. With a matcher: the names of its files that match go to names. Both come in name
// order, not in the order of the listing, and as the bytes the listing gives, whatever their
// encoding. A folder that cannot be read stays (true) but gives nothing.
bool ReadFolder(const QByteArray& folder, Walk* walk, bool given, QByteArrayList* found,
                const NameMatcher* matcher, QByteArrayList* names, const NameOrder& order) {
    Listing listing(folder);
    if (walk) {
        walk->LetEventsRun();
        if (!given) {
            FolderKey key;
            if (!listing.Key(key) && !FolderKeyOf(folder, key)) return false;
            if (!walk->visited.insert(key).second) return false;  // entered already
        }
    }
    if (!listing.IsOpen()) return true;  // unreadable: nothing below it is entered
    if (!found && !matcher) return true;
    QByteArrayList files;
    QByteArrayList subfolders;
    while (const dirent64* entry = listing.Next()) {
        // Hidden folders (and so "." and "..") are not entered; hidden files are listed.
        const bool mayBeFolder = found != nullptr && entry->d_name[0] != '.';
        if (mayBeFolder && walk) walk->LetEventsRun();
        const bool mayBeFile = matcher != nullptr && matcher->Matches(entry->d_name);
        if (!mayBeFolder && !mayBeFile) continue;

        // Links (and entries of unknown type) count as what they lead to.
        unsigned char type = entry->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            if (!listing.Stat(entry, st)) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        // Regular files only: never folders, and never devices or pipes, which could block the
        // analysis that reads them.
        const bool isFile = type == DT_REG && mayBeFile;
        const bool isFolder = type == DT_DIR && mayBeFolder;
        if (!isFile && !isFolder) continue;
        (isFile ? files : subfolders) << QByteArray(entry->d_name);
    }
    if (names) {
        order.Sort(files);
        *names << files;
    }
    if (found) {
        // Whether a folder was entered before is found out when it is read, in queue order, so
        // the first road to a folder is the one kept.
        order.Sort(subfolders);
        for (const QByteArray& name : std::as_const(subfolders)) *found << folder + name + '/';
    }
    return true;
}

// Reads the folders of one level and then the levels below them. On return folders holds this
// level's folders, less those entered before by another road (never the given ones), followed by
// every folder below them, level by level; names (when wanted) one name list for each of them.
// Below the given level, folders are only read for their subfolders when recurse is true.
void CollectLevel(QByteArrayList& folders, QList<QByteArrayList>* names, bool given, bool recurse,
                  Walk& walk) {
    QByteArrayList kept, found;
    QList<QByteArrayList> keptNames, foundNames;
    kept.reserve(folders.size());
    for (const QByteArray& folder : std::as_const(folders)) {
        QByteArrayList folderNames;
        if (!ReadFolder(WithSlash(folder), &walk, given, given || recurse ? &found : nullptr,
                        walk.matcher, names ? &folderNames : nullptr, walk.order))
            continue;
        kept << folder;
        if (names) keptNames << std::move(folderNames);
    }
    if (!found.isEmpty()) CollectLevel(found, names ? &foundNames : nullptr, false, recurse, walk);
    folders = std::move(kept);
    if (names) *names = std::move(keptNames);
    for (qsizetype i = 0; i < found.size(); ++i) {
        walk.LetEventsRun();
        folders << found.at(i);
        if (names) *names << std::move(foundNames[i]);
    }
}

// The folders given count as entered, so a link back to one of them is not followed.
void MarkGiven(const QByteArrayList& folders, Walk& walk) {
    for (const QByteArray& folder : folders) {
        struct stat st;
        if (stat(folder.constData(), &st) == 0) walk.visited.insert(FileIdentity::Of(st));
    }
}

}  // namespace

void CollectSubfolders(QByteArrayList& folders, bool recurse) {
    Walk walk;
    MarkGiven(folders, walk);
    CollectLevel(folders, nullptr, true, recurse, walk);
}

void CollectSubfolders(QByteArrayList& folders, bool recurse, const QByteArray& pattern,
                       QList<QByteArrayList>& fileNames) {
    const NameMatcher matcher(pattern);
    Walk walk;
    walk.matcher = &matcher;
    MarkGiven(folders, walk);
    CollectLevel(folders, &fileNames, true, recurse, walk);
}

QByteArrayList ListFolderFiles(const QByteArray& folder, const QByteArray& pattern) {
    QByteArrayList names;
    names.reserve(100);
    const NameMatcher matcher(pattern);
    ReadFolder(WithSlash(folder), nullptr, false, nullptr, &matcher, &names, NameOrder());
    return names;
}
