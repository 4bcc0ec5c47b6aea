#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <winternl.h>

#include <cerrno>
#include <cstring>

#include "file_access.h"
#include "windows_device_names.h"

namespace {

// After a C library call that failed: Windows says more of a file that
// another program holds open than errno does.
void SetCause(const char** cause, int error) {
  if (!cause) return;
  *cause = GetLastError() == ERROR_SHARING_VIOLATION ? "held open by another program"
                                                     : std::strerror(error);
}

// The longest path Windows takes, in UTF-16 units.
constexpr DWORD kMaxPathCharacters = 32768;

HANDLE HandleOf(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

// The file index and the creation time, asked of the file system directly:
// GetFileInformationByHandle also asks for the volume, which Wine cannot
// tell for a standard stream that a Linux shell redirected to a file.
std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
  IO_STATUS_BLOCK status;
  FILE_INTERNAL_INFORMATION index;
  FILE_BASIC_INFO basic;
  if (NtQueryInformationFile(file, &status, &index, sizeof index, FileInternalInformation) != 0 ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(basic.CreationTime.QuadPart),
                      static_cast<std::uint64_t>(index.IndexNumber.QuadPart)};
}

// Wide text, as Windows keeps names, into the ANSI code page (UTF-8 under the
// program's manifest), in a buffer that lives for the run.
const char* Narrow(const wchar_t* wide, int length) {
  static char text[4 * kMaxPathCharacters];
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide, length, text, sizeof text - 1, nullptr, nullptr);
  if (size == 0) return nullptr;
  text[size] = '\0';
  return text;
}

// The open file's own name: its final path, or where Wine cannot tell that
// (a path longer than MAX_PATH), its path on its volume.
const char* OwnName(HANDLE file) {
  static wchar_t path[kMaxPathCharacters];
  const DWORD length = GetFinalPathNameByHandleW(file, path, kMaxPathCharacters, 0);
  if (length > 0 && length < kMaxPathCharacters) return Narrow(path, static_cast<int>(length));
  alignas(FILE_NAME_INFO) static unsigned char room[sizeof(FILE_NAME_INFO) + sizeof path];
  if (!GetFileInformationByHandleEx(file, FileNameInfo, room, sizeof room)) return nullptr;
  const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(room);
  return Narrow(name->FileName, static_cast<int>(name->FileNameLength / sizeof(wchar_t)));
}

// A name as Windows takes it, in one of two buffers that live for the run.
const wchar_t* Widen(const char* name, int buffer = 0) {
  static wchar_t wide_names[2][kMaxPathCharacters];
  wchar_t* wide_name = wide_names[buffer];
  return MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, kMaxPathCharacters) != 0 ? wide_name
                                                                                      : nullptr;
}

int OpenExisting(const char* name, int* file) {
  int error = 0;
  for (int access : {_O_RDWR, _O_WRONLY}) {  // a file that may only be written
    error = _sopen_s(file, name, access | _O_BINARY, _SH_DENYRW, 0);
    if (error != EACCES) break;
  }
  return error;
}

// Why a call on a file failed, from GetLastError.
const char* ErrorText(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::strerror(ENOSPC);
    case ERROR_ACCESS_DENIED:
      return std::strerror(EACCES);
    case ERROR_SHARING_VIOLATION:
      return "held open by another program";
    default:
      return std::strerror(EIO);
  }
}

// Whether the file belongs to the user this run is for.
bool OwnedByUser(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;  // not known: it stays as it is
  }
  HANDLE token = nullptr;
  bool own = false;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    alignas(TOKEN_USER) unsigned char room[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    own = GetTokenInformation(token, TokenUser, room, sizeof room, &size) &&
          EqualSid(owner, reinterpret_cast<TOKEN_USER*>(room)->User.Sid);
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return own;
}

// Takes the lock that keeps other runs out, as the record lock of Linux;
// false if another run holds it. A file system without locks has none.
bool LockWhole(HANDLE file) {
  OVERLAPPED whole_file = {};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &whole_file) ||
         GetLastError() != ERROR_LOCK_VIOLATION;
}

// Gives the new file the access list of the file it replaces.
bool CopyAccessList(HANDLE from, HANDLE to) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(from, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool copied = SetSecurityInfo(to, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, list, nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return copied;
}

bool WriteAll(HANDLE file, const char* bytes, std::size_t size, std::size_t* written,
              const char** cause) {
  *written = 0;
  while (*written < size) {
    DWORD put = 0;
    const std::size_t rest = size - *written;
    const DWORD chunk = static_cast<DWORD>(rest < 1u << 30 ? rest : 1u << 30);
    if (!WriteFile(file, bytes + *written, chunk, &put, nullptr) || put == 0) {
      if (cause) *cause = std::strerror(GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO);
      return false;
    }
    *written += put;
  }
  return true;
}

}  // namespace

const char kFolderSeparators[] = "/\\:";

bool CloseDescriptor(int file, const char** cause) {
  if (_close(file) == 0) return true;
  SetCause(cause, errno);
  return false;
}

void OpenClosedStandardStreams() {}  // a Windows program starts with its handles set

Fd OpenInputFile(const char* name, const char** cause) {
  // Refused while the recording application holds the file open for writing.
  int file = -1;
  if (_sopen_s(&file, name, _O_RDONLY | _O_BINARY, _SH_DENYWR, 0) != 0) SetCause(cause, errno);
  return Fd(file);
}

long ReadBytes(int file, void* bytes, std::size_t size, const char** cause) {
  std::size_t done = 0;
  while (done < size) {
    const int got =
        _read(file, static_cast<char*>(bytes) + done, static_cast<unsigned>(size - done));
    if (got < 0) {
      SetCause(cause, errno);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

std::optional<FileStatus> GetStatus(int file, const char** cause) {
  const HANDLE handle = HandleOf(file);
  const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
  LARGE_INTEGER size;
  if (!identity || !GetFileSizeEx(handle, &size)) {
    if (cause) *cause = "its identity (file index and creation time) cannot be read";
    return std::nullopt;
  }
  return FileStatus{*identity, FileKind::kRegular, static_cast<std::uint64_t>(size.QuadPart)};
}

StreamFacts GetStreamFacts(int stream) {
  const HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return {FileKind::kDevice, std::nullopt};
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return {FileKind::kRegular, IdentityOfHandle(handle)};
    case FILE_TYPE_PIPE:
      return {FileKind::kFifo, std::nullopt};
    default:  // a console, the null device
      return {FileKind::kDevice, std::nullopt};
  }
}

LinkRead ReadLink(const char* /*name*/, char* /*target*/, std::size_t /*size*/,
                  const char** /*cause*/) {
  return LinkRead::kNotALink;
}

// Windows opens a name by its full path, in which "\.", "x\.." and trailing
// dots and blanks are gone.
const char* NameAsOpened(const char* name, const char** cause) {
  static wchar_t full_path[kMaxPathCharacters];
  if (cause) *cause = "the name cannot be read as a path";
  const wchar_t* wide_name = Widen(name);
  if (!wide_name) return nullptr;
  const DWORD length = GetFullPathNameW(wide_name, kMaxPathCharacters, full_path, nullptr);
  if (length == 0 || length >= kMaxPathCharacters) return nullptr;
  DWORD end = length;
  while (end > 0 && (full_path[end - 1] == L'.' || full_path[end - 1] == L' ')) --end;
  return end == 0 ? "" : Narrow(full_path, static_cast<int>(end));
}

bool NamesDeviceInDisguise(const char* name) { return IsWindowsDeviceNameWithExtension(name); }

// Asked without access, which no sharing refuses.
std::optional<FileIdentity> IdentityOfName(const char* name) {
  const wchar_t* wide_name = Widen(name);
  if (!wide_name) return std::nullopt;
  const HANDLE named =
      CreateFileW(wide_name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOfHandle(named);
  CloseHandle(named);
  return identity;
}

bool IsExistingFile(const char* name) {
  const wchar_t* wide_name = Widen(name);
  if (!wide_name) return false;
  const DWORD attributes = GetFileAttributesW(wide_name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool OpenOutputFile(const char* name, const char* create_name, OpenedOutput* output,
                    const char** cause) {
  int file = -1;
  bool created = false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  Fd opened;
  for (int attempt = 0; attempt < 3 && !opened.valid(); ++attempt) {
    int error = OpenExisting(name, &file);
    created = error == ENOENT;
    if (created) {
      error = _sopen_s(&file, create_name, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
                       _S_IREAD | _S_IWRITE);
      if (error == EEXIST) continue;
    }
    if (file < 0) {
      SetCause(cause, error);
      return false;
    }
    opened = Fd(file);
    handle = HandleOf(file);
    if (GetFileType(handle) != FILE_TYPE_DISK) break;
    if (!LockWhole(handle)) {
      if (cause) *cause = "held by another run of trb2csv";
      return false;
    }
    // Another run may have put a new file in its place before the lock.
    const std::optional<FileIdentity> named = IdentityOfName(name);
    if (!named || named != IdentityOfHandle(handle)) opened.Close(nullptr);
  }
  if (!opened.valid()) {
    if (cause) *cause = "another program kept putting a new file in its place";
    return false;
  }
  output->identity = std::nullopt;
  output->empty = false;
  output->own_name = nullptr;
  output->created = created;
  output->links = 1;
  output->owned_by_user = false;
  output->access_list = false;  // the replacement gets the same (CopyAccessList)
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      output->kind = FileKind::kRegular;
      break;
    case FILE_TYPE_PIPE: {
      // A named pipe has a server that reads it, or it does not open; a FIFO
      // of the Linux file system under Wine opens whether it has a reader or
      // not, and would take the lines into nothing.
      DWORD flags;
      if (!GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr)) {
        if (cause) *cause = "a FIFO, and whether anything reads it cannot be known";
        return false;
      }
      output->kind = FileKind::kFifo;
      output->file = std::move(opened);
      return true;
    }
    default:  // NUL, CON
      output->kind = FileKind::kDevice;
      output->file = std::move(opened);
      return true;
  }
  output->identity = IdentityOfHandle(handle);
  output->links = 0;  // unless known
  FILE_STANDARD_INFO standard;
  if (GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    output->empty = standard.EndOfFile.QuadPart == 0;
    output->links = standard.NumberOfLinks;
  }
  output->owned_by_user = OwnedByUser(handle);
  output->own_name = OwnName(handle);
  output->file = std::move(opened);
  return true;
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size, const char** cause) {
  if (_lseeki64(file, 0, SEEK_SET) != 0) {
    SetCause(cause, errno);
    return -1;
  }
  long got = ReadBytes(file, bytes, size, cause);
  if (got < 0 && errno == EBADF && cause) {  // opened for writing alone
    *cause = "cannot be read, so it is not known to be a text file";
  }
  if (_lseeki64(file, 0, SEEK_SET) != 0) {
    SetCause(cause, errno);
    got = -1;
  }
  return got;
}

// Cut first: a Ctrl+C then leaves the first lines of the new content, never
// new lines before old ones.
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, const char** cause) {
  if (_chsize_s(file, 0) != 0) {
    SetCause(cause, errno);
    return {Overwritten::kUnchanged, 0};
  }
  std::size_t written;
  if (WriteAll(HandleOf(file), bytes, size, &written, cause)) return {Overwritten::kWhole, size};
  std::size_t kept = written;
  while (kept > 0 && bytes[kept - 1] != '\n') --kept;
  if (_chsize_s(file, static_cast<__int64>(kept)) != 0) kept = written;
  return {Overwritten::kPart, kept};
}

// Windows renames over no file that is open, so the file is closed just
// before; the new one is renamed by its handle, so that nothing else put at
// its name takes its place. A name that another program opened meanwhile is
// refused the rename, and keeps what it held.
Replaced ReplaceByRename(Fd* file, const char* name, const char* replacement, const char* bytes,
                         std::size_t size, std::optional<FileIdentity>* identity,
                         const char** cause) {
  const wchar_t* wide_replacement = Widen(replacement, 1);
  static wchar_t full_name[kMaxPathCharacters];
  const wchar_t* wide_name = Widen(name, 0);
  const DWORD length =
      wide_name ? GetFullPathNameW(wide_name, kMaxPathCharacters, full_name, nullptr) : 0;
  FILE_BASIC_INFO basic;
  if (!wide_replacement || length == 0 || length >= kMaxPathCharacters ||
      !GetFileInformationByHandleEx(HandleOf(file->get()), FileBasicInfo, &basic, sizeof basic)) {
    return Replaced::kNotReplaced;
  }
  const auto create = [wide_replacement] {
    return CreateFileW(wide_replacement, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE fresh = create();
  if (fresh == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
    // One that another run is writing is open or locked; one that a run left
    // when it was killed, a plain file, is not.
    const DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = GetFileAttributesW(wide_replacement);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kNotPlain) != 0) {
      return Replaced::kNotReplaced;
    }
    const HANDLE left = CreateFileW(wide_replacement, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool held =
        left == INVALID_HANDLE_VALUE ? GetLastError() == ERROR_SHARING_VIOLATION : !LockWhole(left);
    if (left != INVALID_HANDLE_VALUE) CloseHandle(left);
    if (held) {
      if (cause) *cause = "held by another run of trb2csv";
      return Replaced::kHeld;
    }
    if (DeleteFileW(wide_replacement)) fresh = create();
  }
  if (fresh == INVALID_HANDLE_VALUE) return Replaced::kNotReplaced;
  LockWhole(fresh);
  // Its access list and attributes (hidden, archive); the times are new.
  FILE_BASIC_INFO attributes = {};
  attributes.FileAttributes = basic.FileAttributes;
  if (!CopyAccessList(HandleOf(file->get()), fresh) ||
      !SetFileInformationByHandle(fresh, FileBasicInfo, &attributes, sizeof attributes)) {
    CloseHandle(fresh);
    DeleteFileW(wide_replacement);
    return Replaced::kNotReplaced;
  }
  std::size_t written = 0;
  bool replaced = WriteAll(fresh, bytes, size, &written, cause);
  if (replaced && !FlushFileBuffers(fresh)) {
    if (cause) *cause = ErrorText(GetLastError());
    replaced = false;
  }
  if (replaced) {
    constexpr std::size_t kRoom = sizeof(FILE_RENAME_INFO) + sizeof full_name;
    alignas(FILE_RENAME_INFO) static unsigned char room[kRoom];
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(room);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = length * sizeof(wchar_t);
    std::memcpy(rename->FileName, full_name, (length + 1) * sizeof(wchar_t));
    file->Close(nullptr);
    // Another run may open the file for a moment, to find this one writing:
    // the rename waits for it, up to a second.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 50; ++attempt) {
      replaced = SetFileInformationByHandle(fresh, FileRenameInfo, rename, sizeof room);
      error = replaced ? ERROR_SUCCESS : GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
      Sleep(20);
    }
    if (!replaced && cause) *cause = ErrorText(error);
  }
  // Asked after the rename: the file system may give the new file the
  // creation time of the one it replaces.
  if (replaced) *identity = IdentityOfHandle(fresh);
  if (!replaced) {
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(fresh, FileDispositionInfo, &remove, sizeof remove);
  }
  CloseHandle(fresh);
  return replaced ? Replaced::kWhole : Replaced::kUnchanged;
}

std::size_t WriteToStream(int file, const char* bytes, std::size_t size, const char** cause) {
  std::size_t written;
  WriteAll(HandleOf(file), bytes, size, &written, cause);
  return written;
}

const char* CurrentFolder() {
  static char folder[MAX_PATH * 4];
  return _getcwd(folder, sizeof folder) ? folder : ".";
}
