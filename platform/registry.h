// The per-user registry: keys below HKEY_CURRENT_USER, each with subkeys and
// typed values, reached through the calls and result codes of the Windows
// registry. The store behind it (platform/store/) keeps everything in one
// .reg text file, directory/settings.reg, that a person can read and edit.
//
// Common rules of the calls below:
// - Key paths are backslash-separated names below the parent key; nullptr
//   or "" names the parent itself. A key is at most 512 names deep. Names
//   compare without regard to ASCII case.
// - A key name is 1..255 bytes without '\' or control characters; a value
//   name is 0..16383 bytes without control characters ("" and nullptr name
//   the key's default value). Other names give ERROR_INVALID_NAME, so a
//   name can never reach a key other than the one it names.
// - Enumeration follows the order of the file; new keys and values come last.
// - A handle whose key was deleted (here or by another process) gives
//   ERROR_KEY_DELETED; rights the handle was not opened with give
//   ERROR_ACCESS_DENIED. HKEY_CURRENT_USER has every right and always exists.
// - Every change is on disk, atomically, before the call returns; a change
//   that stores exactly what is already there writes nothing.
// - Without an open store every call fails with ERROR_CANTREAD (reads) or
//   ERROR_CANTWRITE (changes). Not for use from several threads at once.
#pragma once
#include <cstdint>
#include <string>

enum : long {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_OUTOFMEMORY = 14,
  ERROR_DISK_FULL = 112,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_INVALID_NAME = 123,
  ERROR_MORE_DATA = 234,
  ERROR_NO_MORE_ITEMS = 259,
  ERROR_BADKEY = 1010,
  ERROR_CANTREAD = 1012,
  ERROR_CANTWRITE = 1013,
  ERROR_KEY_DELETED = 1018,
};

enum : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_BINARY = 3,
  REG_DWORD = 4,
};

enum : uint32_t {
  KEY_QUERY_VALUE = 0x0001,
  KEY_SET_VALUE = 0x0002,
  KEY_CREATE_SUB_KEY = 0x0004,
  KEY_ENUMERATE_SUB_KEYS = 0x0008,
  KEY_READ = 0x20019,
  KEY_WRITE = 0x20006,
  KEY_ALL_ACCESS = 0xF003F,
};

enum : uint32_t {
  REG_CREATED_NEW_KEY = 1,
  REG_OPENED_EXISTING_KEY = 2,
};

struct RegistryKey;  // never defined: a handle is only compared and passed back
using HKEY = RegistryKey*;
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t(0x80000001u));

// Opens the store kept in directory (created if missing; the file itself is
// created by the first change). A file that cannot be parsed is moved aside
// to settings.reg.broken-YYYYMMDD-HHMMSS, reported through gRegistryLog, and
// the store starts empty. False when the directory cannot be used; the store
// is then closed.
bool OpenRegistryStore(const std::string& directory);
// Closes every handle and forgets the store; later calls fail until the next
// open. Nothing is lost: every change is already on disk.
void CloseRegistryStore();
// CloseRegistryStore, and gRegistryLog back to its default.
void ResetRegistryStore();

// Where the store reports events the user may need to know about (a broken
// file moved aside), one line each, ending with "\n". Defaults to ignoring
// them; the program points it at its diagnostic log.
extern void (*gRegistryLog)(const char* format, ...);

// Opens an existing key. ERROR_FILE_NOT_FOUND when it is absent; *out is
// nullptr after any failure.
long RegOpenKeyEx(HKEY parent, const char* subPath, uint32_t access, HKEY* out);

// Opens subPath, creating it and any missing parents (needs
// KEY_CREATE_SUB_KEY on parent then). disposition (may be nullptr) receives
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
long RegCreateKeyEx(HKEY parent, const char* subPath, uint32_t access, HKEY* out, uint32_t* disposition);

long RegCloseKey(HKEY key);

// Reads a value into data, which holds *size bytes. On success *size is the
// value's size; REG_SZ text comes with its terminating NUL, counted in *size.
// A value that does not fit gives ERROR_MORE_DATA with the size it needs in
// *size and data untouched; data nullptr asks only for type and size. type
// (may be nullptr) is set whenever the value exists. Needs KEY_QUERY_VALUE.
long RegQueryValueEx(HKEY key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);

// Stores a value of any type. REG_SZ data is the text, with or without its
// terminating NUL. Needs KEY_SET_VALUE.
long RegSetValueEx(HKEY key, const char* name, uint32_t type, const uint8_t* data, uint32_t size);

// Needs KEY_SET_VALUE. ERROR_FILE_NOT_FOUND when there is no such value.
long RegDeleteValue(HKEY key, const char* name);

// The name of subkey number index (from 0) into name, which holds *nameSize
// chars; on success *nameSize is the name's length without its NUL. A name
// that does not fit gives ERROR_MORE_DATA with as much of it as fits (still
// NUL-terminated) and its full length in *nameSize. ERROR_NO_MORE_ITEMS past
// the last subkey. Needs KEY_ENUMERATE_SUB_KEYS.
long RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* nameSize);

// Value number index (from 0): its name as RegEnumKeyEx gives a key's ("" for
// the default value), its type (type may be nullptr) and its data as
// RegQueryValueEx gives it (data and dataSize may be nullptr). Either part
// not fitting gives ERROR_MORE_DATA with both sizes set and the data
// untouched. Needs KEY_QUERY_VALUE.
long RegEnumValue(HKEY key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type, uint8_t* data,
                  uint32_t* dataSize);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some)
// with its values. subPath "" deletes the key of parent itself.
long RegDeleteKey(HKEY parent, const char* subPath);

// Deletes a key with all its subkeys and values.
long SHDeleteKey(HKEY parent, const char* subPath);

// How many changes could not be stored on disk since the store was opened (a
// full disk, a folder that cannot be written), so a caller can tell whether a
// series of changes all reached the file; the file stays as it was before
// each of them. RegLastWriteFailure names the file and the system's reason
// for the last one ("" before any).
uint32_t RegFailedWrites();
const char* RegLastWriteFailure();

// ERROR_SUCCESS when name can be one key name (one path segment), else
// ERROR_INVALID_NAME. For callers that turn user text into a key name.
long RegCheckKeyName(const char* name);
// The same for a value name.
long RegCheckValueName(const char* name);
