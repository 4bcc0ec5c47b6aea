#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "file_access.h"
#include "file_names.h"
#include "track_tail_format.h"

namespace {

// Why the last call failed; strerror's text, or one of the converter's own.
const char* g_file_error = "";

void SetFileError(int error) {
  g_file_error = GetLastError() == ERROR_SHARING_VIOLATION ? "held open by another program"
                                                           : std::strerror(error);
}

// The longest path Windows takes, in UTF-16 units.
constexpr DWORD kMaxPathCharacters = 32768;

HANDLE HandleOf(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

bool GetIdentity(HANDLE file, FileIdentity* identity, BY_HANDLE_FILE_INFORMATION* information) {
  if (!GetFileInformationByHandle(file, information)) {
    g_file_error = "its identity (volume and file index) cannot be read";
    return false;
  }
  *identity = {
      information->dwVolumeSerialNumber,
      static_cast<std::uint64_t>(information->nFileIndexHigh) << 32 | information->nFileIndexLow};
  return true;
}

// The standard stream (1 or 2) whose handle writes to the file, or -1.
int StandardStreamOf(const FileIdentity& identity) {
  const DWORD handles[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (int i = 0; i < 2; ++i) {
    const HANDLE stream = GetStdHandle(handles[i]);
    FileIdentity stream_identity;
    BY_HANDLE_FILE_INFORMATION information;
    if (stream != INVALID_HANDLE_VALUE && stream != nullptr &&
        GetFileType(stream) == FILE_TYPE_DISK &&
        GetIdentity(stream, &stream_identity, &information) && stream_identity == identity) {
      return i + 1;
    }
  }
  return -1;
}

bool WriteAll(HANDLE file, const char* bytes, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(size - written < 1u << 30 ? size - written : 1u << 30);
    if (!WriteFile(file, bytes + written, chunk, &put, nullptr) || put == 0) {
      g_file_error = std::strerror(EIO);
      return false;
    }
    written += put;
  }
  return true;
}

}  // namespace

const char* LastFileError() { return g_file_error; }

void OpenClosedStandardStreams() {}  // a Windows program starts with its handles set

int OpenInputFile(const char* name) {
  // Refused while the recording application holds the file open for writing.
  int file = -1;
  if (_sopen_s(&file, name, _O_RDONLY | _O_BINARY, _SH_DENYWR, 0) != 0) SetFileError(errno);
  return file;
}

long ReadBytes(int file, void* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const int got =
        _read(file, static_cast<char*>(bytes) + done, static_cast<unsigned>(size - done));
    if (got < 0) {
      SetFileError(errno);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

bool GetFileIdentity(int file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION information;
  return GetIdentity(HandleOf(file), identity, &information);
}

// Opened for reading too, so that the first bytes can be checked on this
// handle; a file that may only be written is opened for writing alone.
int OpenOutputFile(const char* name, FileFacts* facts) {
  int file = -1;
  for (int access : {_O_RDWR, _O_WRONLY}) {
    if (_sopen_s(&file, name, access | _O_CREAT | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE) ==
        0) {
      break;
    }
  }
  if (file < 0) {
    SetFileError(errno);
    return -1;
  }
  const HANDLE handle = HandleOf(file);
  facts->has_identity = false;
  facts->regular = false;
  facts->empty = false;
  facts->standard_stream = -1;
  if (GetFileType(handle) != FILE_TYPE_DISK) return file;  // NUL, CON, a pipe
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetIdentity(handle, &facts->identity, &information)) {
    _close(file);
    return -1;
  }
  facts->has_identity = true;
  facts->regular = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  facts->empty = information.nFileSizeHigh == 0 && information.nFileSizeLow == 0;
  facts->standard_stream = StandardStreamOf(facts->identity);
  return file;
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size) {
  if (_lseeki64(file, 0, SEEK_SET) != 0) {
    SetFileError(errno);
    return -1;
  }
  const long got = ReadBytes(file, bytes, size);
  if (_lseeki64(file, 0, SEEK_SET) != 0) {
    SetFileError(errno);
    return -1;
  }
  return got;
}

// Cut first: a Ctrl+C then leaves the first lines of the new content, never
// new lines before old ones.
bool OverwriteFile(int file, const FileFacts& facts, const char* bytes, std::size_t size) {
  if (facts.standard_stream >= 0) {
    const DWORD stream = facts.standard_stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    return WriteAll(GetStdHandle(stream), bytes, size);
  }
  if (facts.regular && _chsize_s(file, 0) != 0) {
    SetFileError(errno);
    return false;
  }
  return WriteAll(HandleOf(file), bytes, size);
}

bool CloseFile(int file) {
  if (_close(file) == 0) return true;
  SetFileError(errno);
  return false;
}

// Windows opens a name by its full path, in which "\.", "x\.." and trailing
// dots and blanks are gone: "old.trb\." opens old.trb.
TrackTailName NamesTrackTailFile(const char* name) {
  static wchar_t wide_name[kMaxPathCharacters];
  static wchar_t full_path[kMaxPathCharacters];
  g_file_error = "the name cannot be read as a path";
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, kMaxPathCharacters) == 0) {
    return TrackTailName::kUnknown;
  }
  const DWORD length = GetFullPathNameW(wide_name, kMaxPathCharacters, full_path, nullptr);
  if (length == 0 || length >= kMaxPathCharacters) return TrackTailName::kUnknown;
  DWORD end = length;
  while (end > 0 && (full_path[end - 1] == L'.' || full_path[end - 1] == L' ')) --end;
  if (end < 4) return TrackTailName::kNo;
  char ascii_end[5];  // the last four characters, if they are ASCII
  for (int i = 0; i < 4; ++i) {
    const wchar_t c = full_path[end - 4 + i];
    if (c > 0x7F) return TrackTailName::kNo;
    ascii_end[i] = static_cast<char>(c);
  }
  ascii_end[4] = '\0';
  return EndsInTrackTailExtension(ascii_end, 4) ? TrackTailName::kYes : TrackTailName::kNo;
}

bool NamesDeviceInDisguise(const char* name) { return IsDeviceNameWithExtension(name); }

void GetCurrentFolder(char* folder, std::size_t size) {
  if (!_getcwd(folder, static_cast<int>(size))) std::strcpy(folder, ".");
}
