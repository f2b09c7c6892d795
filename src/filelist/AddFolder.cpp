#include "filelist/AddFolder.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstring>
#include <set>
#include <utility>

#include "ui/Prompts.h"

namespace {

// A real folder, whatever path or link reached it.
using FolderKey = std::pair<dev_t, ino_t>;

QString WithSlash(const QString& strFolder) {
    return strFolder.endsWith(u'/') ? strFolder : strFolder + u'/';
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Matches names against a wildcard pattern as fnmatch does with letter case ignored. fnmatch
// turns every name into wide characters first, which costs more than reading the folder; the
// usual pattern, "*" and then a plain ASCII tail such as ".mp3", is instead a case-blind
// comparison of the name's last bytes. A tail with "i" or "k" stays with fnmatch, since letters
// from outside ASCII fold to those two (the Turkish dotted capital I, the Kelvin sign).
class NameMatcher {
  public:
    explicit NameMatcher(const QString& strPattern) : pattern(QFile::encodeName(strPattern)) {
        blnTailOnly = pattern.startsWith('*');
        for (qsizetype i = 1; i < pattern.size() && blnTailOnly; ++i) {
            const char c = AsciiLower(pattern[i]);
            blnTailOnly = static_cast<unsigned char>(c) >= 0x20 &&
                          static_cast<unsigned char>(c) < 0x80 && c != '*' && c != '?' &&
                          c != '[' && c != '\\' && c != 'i' && c != 'k';
            tail += c;
        }
    }

    bool Matches(const char* strName) const {
        // No FNM_PERIOD: hidden files match like any other.
        if (!blnTailOnly) return fnmatch(pattern.constData(), strName, FNM_CASEFOLD) == 0;
        const size_t lngLength = std::strlen(strName);
        const size_t lngTail = static_cast<size_t>(tail.size());
        if (lngLength < lngTail) return false;
        const char* strEnd = strName + (lngLength - lngTail);
        for (size_t i = 0; i < lngTail; ++i) {
            if (AsciiLower(strEnd[i]) != tail[qsizetype(i)]) return false;
        }
        return true;
    }

  private:
    QByteArray pattern;
    QByteArray tail;  // lower case
    bool blnTailOnly = false;
};

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
    const NameMatcher* matcher = nullptr;  // set when the walk also lists each folder's files

    // Lets pending window events run. A large tree reaches this point tens of thousands of times
    // a second, and each run polls the window system, so runs closer together than a millisecond
    // are left out: the window still reacts at once, and the walk is not slowed down.
    void LetEventsRun() {
        if (sinceEvents.isValid() && sinceEvents.nsecsElapsed() < 1'000'000) return;
        QCoreApplication::processEvents();
        sinceEvents.start();
    }
};

// Reads the folder strFolder (ending in "/") once. With a walk: its subfolders that are not hidden
// and not entered before go to found, and window events run meanwhile. With a matcher: the names
// of its files that match go to names. A folder that cannot be read gives nothing.
void ReadFolder(const QString& strFolder, Walk* walk, QStringList* found,
                const NameMatcher* matcher, QStringList* names) {
    Listing listing(strFolder);
    if (walk) walk->LetEventsRun();
    if (!listing.IsOpen()) return;  // unreadable: nothing below it is entered
    while (const dirent* entry = listing.Next()) {
        // Hidden folders (and so "." and "..") are not entered; hidden files are listed.
        const bool blnMayBeFolder = walk != nullptr && entry->d_name[0] != '.';
        if (blnMayBeFolder) walk->LetEventsRun();
        const bool blnMayBeFile = matcher != nullptr && matcher->Matches(entry->d_name);
        if (!blnMayBeFolder && !blnMayBeFile) continue;

        // Links (and entries of unknown type) count as what they lead to.
        struct stat st;
        bool blnStatted = false;
        unsigned char bytType = entry->d_type;
        if (bytType == DT_LNK || bytType == DT_UNKNOWN) {
            if (!listing.Stat(entry, st)) continue;
            blnStatted = true;
            bytType = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (bytType == DT_REG) {
            // Regular files only: never folders, and never devices or pipes, which could block
            // the analysis that reads them.
            if (blnMayBeFile) *names << QFile::decodeName(entry->d_name);
        } else if (bytType == DT_DIR && blnMayBeFolder) {
            if (!blnStatted && !listing.Stat(entry, st)) continue;
            if (!S_ISDIR(st.st_mode)) continue;
            if (!walk->visited.insert({st.st_dev, st.st_ino}).second) continue;  // entered already
            *found << strFolder + QFile::decodeName(entry->d_name) + u'/';
        }
    }
}

// Reads every folder of folders, then the level below them, and so on; appends what was found.
// With names (one list per folder in folders on return), every folder's files are listed too.
void CollectLevel(QStringList& folders, QList<QStringList>* names, bool recurse, Walk& walk) {
    QStringList found;
    if (names) names->resize(folders.size());
    for (qsizetype i = 0; i < folders.size(); ++i) {
        ReadFolder(WithSlash(folders.at(i)), &walk, &found, walk.matcher,
                   names ? &(*names)[i] : nullptr);
    }
    QList<QStringList> foundNames;
    if (!found.isEmpty() && recurse) {
        CollectLevel(found, names ? &foundNames : nullptr, true, walk);
    } else if (names) {
        // The folders found are not walked, but their files are still wanted.
        foundNames.resize(found.size());
        for (qsizetype i = 0; i < found.size(); ++i)
            ReadFolder(found.at(i), nullptr, nullptr, walk.matcher, &foundNames[i]);
    }
    for (qsizetype i = 0; i < found.size(); ++i) {
        walk.LetEventsRun();
        folders << found.at(i);
        if (names) *names << std::move(foundNames[i]);
    }
}

// The folders given count as entered, so a link back to one of them is not followed.
void MarkGiven(const QStringList& folders, Walk& walk) {
    for (const QString& strFolder : folders) {
        struct stat st;
        if (stat(QFile::encodeName(strFolder), &st) == 0)
            walk.visited.insert({st.st_dev, st.st_ino});
    }
}

}  // namespace

QString BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt) {
    return prompts.GetExistingDirectory(owner, strPrompt);
}

void CollectSubfolders(QStringList& folders, bool recurse) {
    Walk walk;
    MarkGiven(folders, walk);
    CollectLevel(folders, nullptr, recurse, walk);
}

void CollectSubfolders(QStringList& folders, bool recurse, const QString& strPattern,
                       QList<QStringList>& strFileNames) {
    const NameMatcher matcher(strPattern);
    Walk walk;
    walk.matcher = &matcher;
    MarkGiven(folders, walk);
    strFileNames.clear();
    CollectLevel(folders, &strFileNames, recurse, walk);
}

QStringList ListFolderFiles(const QString& strFolder, const QString& strPattern) {
    QStringList names;
    names.reserve(100);
    const NameMatcher matcher(strPattern);
    ReadFolder(WithSlash(strFolder), nullptr, nullptr, &matcher, &names);
    return names;
}
