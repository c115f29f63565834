// The registry calls on top of one .reg file shared by every process of the
// user.
//
// Reads use a parse of the file that is kept until the file changes; the
// file is checked (stat) on every call. The parsed file's descriptor stays
// open so that its inode cannot be reused by a later file, which makes
// device and inode a reliable sign of a replaced file.
//
// A change takes the lock file, re-reads the file if another process
// replaced it, applies just that change, and replaces the file: write a
// temporary file, fsync it, rename it over the file, fsync the directory.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_map>

#include "platform/directories.h"
#include "platform/registry.h"
#include "platform/store/reg_text.h"

namespace {

void IgnoreRegistryLog(const char*, ...) {}

struct FileIdentity {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  timespec modified{};
  timespec changed{};
};

// One key of the file. Each entry holds only its own name and points at its
// parent, so the index grows with the file's size, never with the square of
// a key's depth.
struct KeyEntry {
  size_t parent = 0;             // the root (entry 0) is its own parent
  std::string name;              // as first spelled in the file; "" for the root
  std::vector<size_t> sections;  // the sections with exactly this path
  std::vector<size_t> children;  // the subkeys' entries, in file order
};

struct ChildKey {
  size_t parent;
  std::string folded;
  bool operator==(const ChildKey&) const = default;
};

struct ChildKeyHash {
  size_t operator()(const ChildKey& key) const {
    return std::hash<std::string>()(key.folded) ^ (key.parent * 0x9E3779B97F4A7C15ull);
  }
};

struct OpenKey {
  std::string folded;  // folded path of the key
  uint32_t access = 0;
};

struct RegistryStoreRec {
  bool open = false;
  std::string directory, filePath, lockPath, tempPath;
  RegDocument doc;
  std::vector<KeyEntry> keys;                                     // [0] is the root
  std::unordered_map<ChildKey, size_t, ChildKeyHash> childIndex;  // subkey by parent and folded name
  bool cacheValid = false;                                        // doc is the file described by identity
  FileIdentity identity;
  int pinnedFd = -1;
  std::unordered_map<uintptr_t, OpenKey> handles;
  uintptr_t nextHandle = 0x10000;
  int diskError = 0;          // errno of the change under way, 0 while none failed
  uint32_t failedWrites = 0;  // changes that could not be stored since the open
  std::string lastFailure;    // the file and the reason of the last of them
};

RegistryStoreRec gStore;

constexpr uintptr_t kRootHandle = 0x80000001u;

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.present = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.mode = st.st_mode;
  id.modified = st.st_mtim;
  id.changed = st.st_ctim;
  return id;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  if (a.present != b.present) return false;
  if (!a.present) return true;
  return a.device == b.device && a.inode == b.inode && a.size == b.size && SameTime(a.modified, b.modified) &&
         SameTime(a.changed, b.changed);
}

long FromErrno(int error, long otherwise) {
  if (error == EACCES || error == EPERM || error == EROFS) return ERROR_ACCESS_DENIED;
  if (error == ENOMEM) return ERROR_OUTOFMEMORY;
  if (error == ENOSPC || error == EDQUOT) return ERROR_DISK_FULL;
  return otherwise;
}

// A system call of a change failed: remembered for the report, translated.
long DiskError(int error, long otherwise) {
  gStore.diskError = error;
  return FromErrno(error, otherwise);
}

void Unpin() {
  if (gStore.pinnedFd >= 0) close(gStore.pinnedFd);
  gStore.pinnedFd = -1;
}

bool InSubtree(const std::string& folded, const std::string& root) {
  if (root.empty()) return true;
  return folded.size() >= root.size() && folded.compare(0, root.size(), root) == 0 &&
         (folded.size() == root.size() || folded[root.size()] == '\\');
}

std::string JoinPath(const std::string& parent, const std::string& child) {
  if (parent.empty()) return child;
  if (child.empty()) return parent;
  return parent + "\\" + child;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('\\', start);
    names.push_back(path.substr(start, slash - start));
    if (slash == std::string::npos) return names;
    start = slash + 1;
  }
}

void RebuildIndex() {
  gStore.keys.assign(1, KeyEntry{});
  gStore.childIndex.clear();
  for (size_t s = 0; s < gStore.doc.sections.size(); ++s) {
    const RegSection& section = gStore.doc.sections[s];
    if (!section.known) continue;
    size_t entry = 0;
    for (const std::string& name : SplitPath(section.path)) {
      auto [it, inserted] =
          gStore.childIndex.try_emplace(ChildKey{entry, RegFoldName(name)}, gStore.keys.size());
      if (inserted) {
        KeyEntry child;
        child.parent = entry;
        child.name = name;
        gStore.keys[entry].children.push_back(it->second);
        gStore.keys.push_back(std::move(child));
      }
      entry = it->second;
    }
    gStore.keys[entry].sections.push_back(s);
  }
}

KeyEntry* FindKey(const std::string& folded) {
  if (gStore.keys.empty()) return nullptr;
  size_t entry = 0;
  for (std::string& name : SplitPath(folded)) {
    auto it = gStore.childIndex.find(ChildKey{entry, std::move(name)});
    if (it == gStore.childIndex.end()) return nullptr;
    entry = it->second;
  }
  return &gStore.keys[entry];
}

// The key's path as first spelled in the file.
std::string SpelledPath(const KeyEntry* entry) {
  std::vector<const std::string*> names;
  for (; entry != &gStore.keys[0]; entry = &gStore.keys[entry->parent]) names.push_back(&entry->name);
  std::string path;
  for (size_t i = names.size(); i-- > 0;) {
    if (!path.empty()) path.push_back('\\');
    path.append(*names[i]);
  }
  return path;
}

void InstallDocument(RegDocument&& doc, const FileIdentity& identity, int fd) {
  Unpin();
  gStore.doc = std::move(doc);
  gStore.identity = identity;
  gStore.pinnedFd = fd;
  gStore.cacheValid = true;
  RebuildIndex();
}

void InstallEmpty() { InstallDocument(RegDocument{}, FileIdentity{}, -1); }

// The advisory lock around every read-modify-write. A fresh descriptor per
// use: flock belongs to the open file, which a forked child would share.
struct StoreLock {
  int fd = -1;
  long Acquire() {
    fd = open(gStore.lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT && MakeDirectories(gStore.directory))
      fd = open(gStore.lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return DiskError(errno, ERROR_CANTWRITE);
    while (flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) return DiskError(errno, ERROR_CANTWRITE);
    return ERROR_SUCCESS;
  }
  ~StoreLock() {
    if (fd >= 0) close(fd);
  }
};

long SyncDirectory() {
  int fd = open(gStore.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return ERROR_CANTWRITE;
  int result = fsync(fd);
  close(fd);
  return result == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

// Renames the unreadable file aside, under the lock, so nothing the user
// wrote is lost and the store can go on from defaults.
long MoveAside(const FileIdentity& broken) {
  struct stat st;
  if (stat(gStore.filePath.c_str(), &st) != 0 || !SameIdentity(IdentityOf(st), broken))
    return ERROR_SUCCESS;  // already replaced; the caller reads again
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string base = gStore.filePath + ".broken-" + stamp, aside = base;
  for (int n = 2; lstat(aside.c_str(), &st) == 0; ++n) aside = base + "-" + std::to_string(n);
  if (rename(gStore.filePath.c_str(), aside.c_str()) != 0) return FromErrno(errno, ERROR_CANTREAD);
  SyncDirectory();
  gRegistryLog("Settings file %s could not be read; moved it to %s and went on with defaults\n",
               gStore.filePath.c_str(), aside.c_str());
  return ERROR_SUCCESS;
}

bool ReadAll(int fd, std::string* text) {
  text->clear();
  char buffer[65536];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text->append(buffer, size_t(n));
  }
}

// Makes the parse current: re-reads the file when it is not the one parsed.
long Refresh(bool locked) {
  while (true) {
    struct stat st;
    if (stat(gStore.filePath.c_str(), &st) != 0) {
      if (errno != ENOENT) return FromErrno(errno, ERROR_CANTREAD);
      if (!gStore.cacheValid || gStore.identity.present) InstallEmpty();
      return ERROR_SUCCESS;
    }
    if (gStore.cacheValid && SameIdentity(gStore.identity, IdentityOf(st))) return ERROR_SUCCESS;

    // Non-blocking, and only a regular file is read: a FIFO would block the
    // open, a link to a device would never end.
    int fd = open(gStore.filePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      if (errno == ENOENT) continue;
      return FromErrno(errno, ERROR_CANTREAD);
    }
    std::string text;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ReadAll(fd, &text)) {
      close(fd);
      return ERROR_CANTREAD;
    }
    FileIdentity identity = IdentityOf(st);
    RegDocument doc;
    if (ParseRegText(text, &doc)) {
      InstallDocument(std::move(doc), identity, fd);
      return ERROR_SUCCESS;
    }
    if (!locked) {
      close(fd);
      StoreLock lock;
      if (long result = lock.Acquire()) return result == ERROR_CANTWRITE ? ERROR_CANTREAD : result;
      return Refresh(true);
    }
    long result = MoveAside(identity);
    close(fd);
    if (result != ERROR_SUCCESS) {
      gStore.cacheValid = false;
      return result;
    }
  }
}

// True when the parse in memory is the file as it is now. Only a shortcut
// for changes that turn out to change nothing: a change that must look at
// the file again does so under the lock, so one parse serves it.
bool CacheCurrent() {
  if (!gStore.cacheValid) return false;
  struct stat st;
  if (stat(gStore.filePath.c_str(), &st) != 0) return errno == ENOENT && !gStore.identity.present;
  return SameIdentity(gStore.identity, IdentityOf(st));
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

long WriteDocument() {
  std::string text = FormatRegText(gStore.doc);
  unlink(gStore.tempPath.c_str());
  int fd = open(gStore.tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return DiskError(errno, ERROR_CANTWRITE);
  int error = 0;
  if (gStore.identity.present && fchmod(fd, gStore.identity.mode & 07777) != 0) error = errno;
  if (!error && !WriteAll(fd, text)) error = errno;
  if (!error && fsync(fd) != 0) error = errno;
  if (!error && rename(gStore.tempPath.c_str(), gStore.filePath.c_str()) != 0) error = errno;
  if (error) {
    close(fd);
    unlink(gStore.tempPath.c_str());
    return DiskError(error, ERROR_CANTWRITE);
  }
  // The new file is in place; a failed directory sync only delays that.
  SyncDirectory();
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    gStore.cacheValid = false;
    return ERROR_SUCCESS;
  }
  Unpin();
  gStore.pinnedFd = fd;
  gStore.identity = IdentityOf(st);
  gStore.cacheValid = true;
  return ERROR_SUCCESS;
}

// Runs apply(&changed) on the current file's contents under the lock and
// writes the result when it changed something. apply leaves the document
// untouched when it fails.
long ChangeFailed(long result) {
  ++gStore.failedWrites;
  gStore.lastFailure = gStore.filePath + ": ";
  gStore.lastFailure += gStore.diskError ? strerror(gStore.diskError) : "the file could not be read";
  return result;
}

template <typename Apply>
long ChangeStore(Apply apply) {
  if (!gStore.open) return ERROR_CANTWRITE;
  gStore.diskError = 0;
  StoreLock lock;
  if (long result = lock.Acquire()) return ChangeFailed(result);
  if (long result = Refresh(true)) return ChangeFailed(result);
  bool changed = false;
  if (long result = apply(&changed)) return result;
  if (!changed) return ERROR_SUCCESS;
  RebuildIndex();
  long result = WriteDocument();
  if (result != ERROR_SUCCESS) {
    gStore.cacheValid = false;  // memory is ahead of the disk
    return ChangeFailed(result);
  }
  return ERROR_SUCCESS;
}

// The key a handle stands for, checked against the current file.
long ResolveKey(HKEY key, uint32_t needed, std::string* folded) {
  uintptr_t value = reinterpret_cast<uintptr_t>(key);
  uint32_t access = KEY_ALL_ACCESS;
  if (value == kRootHandle) {
    folded->clear();
  } else {
    auto it = gStore.handles.find(value);
    if (it == gStore.handles.end()) return ERROR_INVALID_HANDLE;
    *folded = it->second.folded;
    access = it->second.access;
  }
  if ((access & needed) != needed) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// ResolveKey, then the file brought up to date and the key looked up in it.
long ReadKey(HKEY key, uint32_t needed, KeyEntry** entry, std::string* folded) {
  if (!gStore.open) return ERROR_CANTREAD;
  if (long result = ResolveKey(key, needed, folded)) return result;
  if (long result = Refresh(false)) return result;
  *entry = FindKey(*folded);
  return *entry ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

HKEY NewHandle(const std::string& folded, uint32_t access) {
  if (gStore.nextHandle == kRootHandle) ++gStore.nextHandle;
  uintptr_t value = gStore.nextHandle++;
  gStore.handles[value] = OpenKey{folded, access};
  return reinterpret_cast<HKEY>(value);
}

std::string FoldedSubPath(const char* subPath) { return subPath ? RegFoldName(subPath) : std::string(); }

RegItem* FindValue(KeyEntry* entry, const std::string& foldedName) {
  for (size_t s : entry->sections)
    for (RegItem& item : gStore.doc.sections[s].items)
      if (item.isValue && RegFoldName(item.name) == foldedName) return &item;
  return nullptr;
}

const RegItem* ValueAt(const KeyEntry* entry, uint32_t index) {
  uint32_t seen = 0;
  for (size_t s : entry->sections)
    for (const RegItem& item : gStore.doc.sections[s].items)
      if (item.isValue && seen++ == index) return &item;
  return nullptr;
}

// Where a new section for a key below root goes: after the last section of
// root's subtree, so that subkeys list in the order they were created.
size_t InsertionAfterSubtree(const std::string& rootFolded) {
  size_t position = gStore.doc.sections.size();
  for (size_t s = 0; s < gStore.doc.sections.size(); ++s) {
    const RegSection& section = gStore.doc.sections[s];
    if (section.known && InSubtree(RegFoldName(section.path), rootFolded)) position = s + 1;
  }
  return position;
}

// Where the own section of a key that so far exists only through its
// subkeys goes: just before the first of them, as an export would have it.
size_t InsertionBeforeSubtree(const std::string& folded) {
  for (size_t s = 0; s < gStore.doc.sections.size(); ++s) {
    const RegSection& section = gStore.doc.sections[s];
    if (section.known && InSubtree(RegFoldName(section.path), folded)) return s;
  }
  return gStore.doc.sections.size();
}

void InsertSection(size_t position, const std::string& path) {
  RegSection section;
  section.known = true;
  section.path = path;
  gStore.doc.sections.insert(gStore.doc.sections.begin() + long(position), std::move(section));
}

long CopyName(const std::string& name, char* buffer, uint32_t* size) {
  if (name.size() < *size) {
    memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = 0;
    *size = uint32_t(name.size());
    return ERROR_SUCCESS;
  }
  if (*size > 0) {
    memcpy(buffer, name.data(), *size - 1);
    buffer[*size - 1] = 0;
  }
  *size = uint32_t(name.size());
  return ERROR_MORE_DATA;
}

uint32_t DataSize(const RegItem& value) {
  return uint32_t(value.data.size() + (value.type == REG_SZ ? 1 : 0));
}

long CopyData(const RegItem& value, uint8_t* data, uint32_t* size) {
  if (!size) return ERROR_SUCCESS;
  uint32_t needed = DataSize(value);
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data) {
    if (!value.data.empty()) memcpy(data, value.data.data(), value.data.size());
    if (value.type == REG_SZ) data[value.data.size()] = 0;
  }
  *size = needed;
  return ERROR_SUCCESS;
}

std::vector<uint8_t> StoredData(uint32_t type, const uint8_t* data, uint32_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (type == REG_SZ && !bytes.empty() && bytes.back() == 0) bytes.pop_back();
  return bytes;
}

long DeleteKey(HKEY parent, const char* subPath, bool tree) {
  if (!subPath) return ERROR_INVALID_PARAMETER;
  if (!RegKeyPathValid(subPath)) return ERROR_INVALID_NAME;
  if (!gStore.open) return ERROR_CANTWRITE;
  std::string parentFolded;
  if (long result = ResolveKey(parent, 0, &parentFolded)) return result;
  std::string target = JoinPath(parentFolded, FoldedSubPath(subPath));
  return ChangeStore([&](bool* changed) -> long {
    if (!FindKey(parentFolded)) return ERROR_KEY_DELETED;
    KeyEntry* entry = FindKey(target);
    if (!entry) return ERROR_FILE_NOT_FOUND;
    if (target.empty()) return ERROR_ACCESS_DENIED;
    if (!tree && !entry->children.empty()) return ERROR_ACCESS_DENIED;

    std::vector<RegSection>& sections = gStore.doc.sections;
    size_t firstRemoved = sections.size(), kept = 0;
    for (size_t s = 0; s < sections.size(); ++s) {
      if (sections[s].known && InSubtree(RegFoldName(sections[s].path), target)) {
        firstRemoved = std::min(firstRemoved, kept);
        continue;
      }
      if (kept != s) sections[kept] = std::move(sections[s]);
      ++kept;
    }
    sections.resize(kept);
    // A parent that existed only through this key keeps existing.
    size_t slash = target.rfind('\\');
    if (slash != std::string::npos) {
      std::string parentOfTarget = target.substr(0, slash);
      bool stillThere = false;
      for (const RegSection& section : sections)
        if (section.known && InSubtree(RegFoldName(section.path), parentOfTarget)) stillThere = true;
      if (!stillThere) InsertSection(firstRemoved, SpelledPath(FindKey(parentOfTarget)));
    }
    *changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace

void (*gRegistryLog)(const char* format, ...) = IgnoreRegistryLog;

bool OpenRegistryStore(const std::string& directory) {
  CloseRegistryStore();
  if (directory.empty() || !MakeDirectories(directory)) return false;
  gStore.directory = directory;
  gStore.filePath = directory + "/settings.reg";
  gStore.lockPath = gStore.filePath + ".lock";
  gStore.tempPath = gStore.filePath + ".tmp";
  gStore.open = true;
  {
    // A temporary file left by a writer that was killed.
    StoreLock lock;
    if (lock.Acquire() == ERROR_SUCCESS) unlink(gStore.tempPath.c_str());
  }
  if (Refresh(false) != ERROR_SUCCESS) {
    CloseRegistryStore();
    return false;
  }
  return true;
}

void CloseRegistryStore() {
  Unpin();
  gStore = RegistryStoreRec{};
}

void ResetRegistryStore() {
  CloseRegistryStore();
  gRegistryLog = IgnoreRegistryLog;
}

long RegOpenKeyEx(HKEY parent, const char* subPath, uint32_t access, HKEY* out) {
  if (!out) return ERROR_INVALID_PARAMETER;
  *out = nullptr;
  if (subPath && !RegKeyPathValid(subPath)) return ERROR_INVALID_NAME;
  KeyEntry* entry = nullptr;
  std::string parentFolded;
  if (long result = ReadKey(parent, 0, &entry, &parentFolded)) return result;
  std::string folded = JoinPath(parentFolded, FoldedSubPath(subPath));
  if (!FindKey(folded)) return ERROR_FILE_NOT_FOUND;
  *out = NewHandle(folded, access);
  return ERROR_SUCCESS;
}

long RegCreateKeyEx(HKEY parent, const char* subPath, uint32_t access, HKEY* out, uint32_t* disposition) {
  if (!out || !subPath) return ERROR_INVALID_PARAMETER;
  *out = nullptr;
  if (!RegKeyPathValid(subPath)) return ERROR_INVALID_NAME;
  if (!gStore.open) return ERROR_CANTWRITE;
  std::string parentFolded;
  if (long result = ResolveKey(parent, 0, &parentFolded)) return result;
  std::string folded = JoinPath(parentFolded, FoldedSubPath(subPath));
  if (!RegKeyPathValid(folded)) return ERROR_INVALID_NAME;  // deeper than a key may be
  uint32_t how = REG_OPENED_EXISTING_KEY;
  if (!CacheCurrent() || !FindKey(folded)) {
    std::string ignored;
    bool mayCreate = ResolveKey(parent, KEY_CREATE_SUB_KEY, &ignored) == ERROR_SUCCESS;
    long result = ChangeStore([&](bool* changed) -> long {
      KeyEntry* ancestor = FindKey(parentFolded);
      if (!ancestor) return ERROR_KEY_DELETED;
      if (FindKey(folded)) return ERROR_SUCCESS;  // there after all, perhaps made meanwhile
      if (!mayCreate) return ERROR_ACCESS_DENIED;
      // The deepest existing key on the way gives the new names' spelling
      // up to there and the place of the new section.
      std::string ancestorFolded = parentFolded;
      std::vector<std::string> names = SplitPath(subPath);
      size_t existing = 0;
      for (; existing < names.size(); ++existing) {
        std::string next = JoinPath(ancestorFolded, RegFoldName(names[existing]));
        KeyEntry* found = FindKey(next);
        if (!found) break;
        ancestorFolded = next;
        ancestor = found;
      }
      std::string spelled = SpelledPath(ancestor);
      for (size_t i = existing; i < names.size(); ++i) spelled = JoinPath(spelled, names[i]);
      InsertSection(InsertionAfterSubtree(ancestorFolded), spelled);
      how = REG_CREATED_NEW_KEY;
      *changed = true;
      return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS) return result;
  }
  *out = NewHandle(folded, access);
  if (disposition) *disposition = how;
  return ERROR_SUCCESS;
}

long RegCloseKey(HKEY key) {
  uintptr_t value = reinterpret_cast<uintptr_t>(key);
  if (value == kRootHandle) return ERROR_SUCCESS;
  return gStore.handles.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

long RegQueryValueEx(HKEY key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  if (name && !RegValueNameValid(name)) return ERROR_INVALID_NAME;
  KeyEntry* entry = nullptr;
  std::string folded;
  if (long result = ReadKey(key, KEY_QUERY_VALUE, &entry, &folded)) return result;
  const RegItem* value = FindValue(entry, name ? RegFoldName(name) : std::string());
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  return CopyData(*value, data, size);
}

long RegSetValueEx(HKEY key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
  if (!data && size > 0) return ERROR_INVALID_PARAMETER;
  if (name && !RegValueNameValid(name)) return ERROR_INVALID_NAME;
  if (!gStore.open) return ERROR_CANTWRITE;
  std::string folded;
  if (long result = ResolveKey(key, KEY_SET_VALUE, &folded)) return result;
  std::string foldedName = name ? RegFoldName(name) : std::string();
  std::vector<uint8_t> bytes = StoredData(type, data, size);

  // Storing what is already there needs no lock and no write.
  if (CacheCurrent()) {
    if (KeyEntry* entry = FindKey(folded)) {
      const RegItem* value = FindValue(entry, foldedName);
      if (value && value->type == type && value->data == bytes) return ERROR_SUCCESS;
    }
  }
  return ChangeStore([&](bool* changed) -> long {
    KeyEntry* entry = FindKey(folded);
    if (!entry) return ERROR_KEY_DELETED;
    if (RegItem* value = FindValue(entry, foldedName)) {
      if (value->type == type && value->data == bytes) return ERROR_SUCCESS;
      value->type = type;
      value->data = std::move(bytes);
      value->text.clear();
      *changed = true;
      return ERROR_SUCCESS;
    }
    if (entry->sections.empty()) {
      InsertSection(InsertionBeforeSubtree(folded), SpelledPath(entry));
      RebuildIndex();
      entry = FindKey(folded);
    }
    RegItem item;
    item.isValue = true;
    item.name = name ? name : "";
    item.type = type;
    item.data = std::move(bytes);
    gStore.doc.sections[entry->sections.back()].items.push_back(std::move(item));
    *changed = true;
    return ERROR_SUCCESS;
  });
}

long RegDeleteValue(HKEY key, const char* name) {
  if (name && !RegValueNameValid(name)) return ERROR_INVALID_NAME;
  if (!gStore.open) return ERROR_CANTWRITE;
  std::string folded;
  if (long result = ResolveKey(key, KEY_SET_VALUE, &folded)) return result;
  std::string foldedName = name ? RegFoldName(name) : std::string();
  return ChangeStore([&](bool* changed) -> long {
    KeyEntry* entry = FindKey(folded);
    if (!entry) return ERROR_KEY_DELETED;
    for (size_t s : entry->sections) {
      std::vector<RegItem>& items = gStore.doc.sections[s].items;
      for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].isValue && RegFoldName(items[i].name) == foldedName) {
          items.erase(items.begin() + long(i));
          *changed = true;
          return ERROR_SUCCESS;
        }
      }
    }
    return ERROR_FILE_NOT_FOUND;
  });
}

long RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* nameSize) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  KeyEntry* entry = nullptr;
  std::string folded;
  if (long result = ReadKey(key, KEY_ENUMERATE_SUB_KEYS, &entry, &folded)) return result;
  if (index >= entry->children.size()) return ERROR_NO_MORE_ITEMS;
  return CopyName(gStore.keys[entry->children[index]].name, name, nameSize);
}

long RegEnumValue(HKEY key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type, uint8_t* data,
                  uint32_t* dataSize) {
  if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  KeyEntry* entry = nullptr;
  std::string folded;
  if (long result = ReadKey(key, KEY_QUERY_VALUE, &entry, &folded)) return result;
  const RegItem* value = ValueAt(entry, index);
  if (!value) return ERROR_NO_MORE_ITEMS;
  if (type) *type = value->type;
  long nameResult = CopyName(value->name, name, nameSize);
  if (nameResult != ERROR_SUCCESS) {
    if (dataSize) *dataSize = DataSize(*value);
    return nameResult;
  }
  return CopyData(*value, data, dataSize);
}

long RegDeleteKey(HKEY parent, const char* subPath) { return DeleteKey(parent, subPath, false); }

long SHDeleteKey(HKEY parent, const char* subPath) { return DeleteKey(parent, subPath, true); }

uint32_t RegFailedWrites() { return gStore.failedWrites; }

const char* RegLastWriteFailure() { return gStore.lastFailure.c_str(); }

long RegCheckKeyName(const char* name) {
  return name && RegKeyNameValid(name) ? ERROR_SUCCESS : ERROR_INVALID_NAME;
}

long RegCheckValueName(const char* name) {
  return !name || RegValueNameValid(name) ? ERROR_SUCCESS : ERROR_INVALID_NAME;
}
