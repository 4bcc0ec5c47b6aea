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
#include "windows_names.h"

namespace {

// The longest path Windows takes, in UTF-16 units.
constexpr DWORD kMaxPathCharacters = 32768;

// The C library's number for a Windows error, read as the call that failed
// returns: EBUSY for a file another program holds open.
int ErrorNumber(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

// Sets *error from the last Windows error, where the caller asks for it;
// returns false.
bool Failed(int* error) {
  if (error) *error = ErrorNumber(GetLastError());
  return false;
}

// After a call of the C library, its error number; returns false.
bool FailedWith(int number, int* error) {
  if (error) *error = number;
  return false;
}

// After an open by the C library, which sets the Windows error too: errno,
// but for a file that another program holds open, which Windows tells apart.
bool OpenFailed(int number, int* error) {
  return FailedWith(GetLastError() == ERROR_SHARING_VIOLATION ? EBUSY : number, error);
}

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

// A name as Windows takes it, in one of two buffers that live for the run.
const wchar_t* Widen(const char* name, int buffer = 0) {
  static wchar_t wide_names[2][kMaxPathCharacters];
  wchar_t* wide_name = wide_names[buffer];
  return MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, kMaxPathCharacters) != 0 ? wide_name
                                                                                      : nullptr;
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

// The new file that is to replace the output, made and locked; one that a
// run left when it was killed (a plain file, neither open nor locked) is
// removed first, and one that another run is writing (*held) is left alone.
HANDLE CreateReplacement(const wchar_t* name, bool* held) {
  const auto create = [name] {
    return CreateFileW(name, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE fresh = create();
  if (fresh == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
    const DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kNotPlain) != 0) {
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE left = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    *held =
        left == INVALID_HANDLE_VALUE ? GetLastError() == ERROR_SHARING_VIOLATION : !LockWhole(left);
    if (left != INVALID_HANDLE_VALUE) CloseHandle(left);
    if (!*held && DeleteFileW(name)) fresh = create();
  }
  if (fresh != INVALID_HANDLE_VALUE) LockWhole(fresh);
  return fresh;
}

std::size_t WriteAll(HANDLE file, const char* bytes, std::size_t size, int* error) {
  std::size_t written = 0;
  while (written < size) {
    DWORD put = 0;
    const std::size_t rest = size - written;
    const DWORD chunk = static_cast<DWORD>(rest < 1u << 30 ? rest : 1u << 30);
    if (!WriteFile(file, bytes + written, chunk, &put, nullptr) || put == 0) {
      Failed(error);
      break;
    }
    written += put;
  }
  return written;
}

}  // namespace

const char* ErrorText(int error) {
  return error == EBUSY ? "held open by another program" : std::strerror(error);
}

const char kFolderSeparators[] = "/\\:";

bool CloseDescriptor(int file, int* error) { return _close(file) == 0 || FailedWith(errno, error); }

void PrepareStandardStreams() {}  // a Windows program starts with its handles set

Fd OpenInputFile(const char* name, int* error) {
  // Refused while the recording application holds the file open for writing.
  int file = -1;
  const int number = _sopen_s(&file, name, _O_RDONLY | _O_BINARY, _SH_DENYWR, 0);
  if (number != 0) OpenFailed(number, error);
  return Fd(file);
}

long ReadBytes(int file, void* bytes, std::size_t size, int* error) {
  std::size_t done = 0;
  while (done < size) {
    const int got =
        _read(file, static_cast<char*>(bytes) + done, static_cast<unsigned>(size - done));
    if (got < 0) {
      FailedWith(errno, error);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

std::optional<FileStatus> GetStatus(int file) {
  const HANDLE handle = HandleOf(file);
  const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
  LARGE_INTEGER size;
  if (!identity || !GetFileSizeEx(handle, &size)) return std::nullopt;
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

LinkRead ReadLink(const char* /*name*/, char* /*target*/, std::size_t /*size*/, int* /*error*/) {
  return LinkRead::kNotALink;
}

// Windows opens a name by its full path, in which "\.", "x\.." and trailing
// dots and blanks are gone.
const char* NameAsOpened(const char* name) {
  static wchar_t full_path[kMaxPathCharacters];
  const wchar_t* wide_name = Widen(name);
  if (!wide_name) return nullptr;
  const DWORD length = GetFullPathNameW(wide_name, kMaxPathCharacters, full_path, nullptr);
  if (length == 0 || length >= kMaxPathCharacters) return nullptr;
  char* path = const_cast<char*>(Narrow(full_path, static_cast<int>(length)));
  if (path) path[LengthAsWindowsOpens(path, std::strlen(path))] = '\0';
  return path;
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

Fd OpenExistingOutput(const char* name, int* error) {
  int file = -1;
  int number = 0;
  for (int access : {_O_RDWR, _O_WRONLY}) {  // a file that may only be written
    number = _sopen_s(&file, name, access | _O_BINARY, _SH_DENYRW, 0);
    if (number != EACCES || GetLastError() == ERROR_SHARING_VIOLATION) break;
  }
  if (number != 0) OpenFailed(number, error);
  return Fd(file);
}

Fd CreateOutput(const char* name, int* error) {
  int file = -1;
  const int number = _sopen_s(&file, name, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
                              _S_IREAD | _S_IWRITE);
  if (number != 0) OpenFailed(number, error);
  return Fd(file);
}

bool LockForThisRun(int file) { return LockWhole(HandleOf(file)); }

std::optional<OutputStatus> StatusOfOutput(int file, int* /*error*/) {
  const HANDLE handle = HandleOf(file);
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE: {
      // A named pipe has a server that reads it, or it does not open; a FIFO
      // of the Linux file system under Wine opens whether it has a reader or
      // not.
      DWORD flags;
      const bool named_pipe = GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr);
      return OutputStatus{FileKind::kFifo, std::nullopt, false, 1, false, false, !named_pipe};
    }
    default:  // NUL, CON
      return OutputStatus{FileKind::kDevice, std::nullopt, false, 1, false, false, false};
  }
  OutputStatus status = {FileKind::kRegular,
                         IdentityOfHandle(handle),
                         false,
                         0,
                         OwnedByUser(handle),
                         false,  // the new file takes the same list
                         false};
  FILE_STANDARD_INFO standard;
  if (GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    status.empty = standard.EndOfFile.QuadPart == 0;
    status.links = standard.NumberOfLinks;
  }
  return status;
}

// Its final path, or where Wine cannot tell that (a path longer than
// MAX_PATH), its path on its volume.
const char* OwnNameOf(int file, const std::optional<FileIdentity>& /*identity*/,
                      const char* /*judged_name*/) {
  const HANDLE handle = HandleOf(file);
  static wchar_t path[kMaxPathCharacters];
  const DWORD length = GetFinalPathNameByHandleW(handle, path, kMaxPathCharacters, 0);
  if (length > 0 && length < kMaxPathCharacters) return Narrow(path, static_cast<int>(length));
  alignas(FILE_NAME_INFO) static unsigned char room[sizeof(FILE_NAME_INFO) + sizeof path];
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, room, sizeof room)) return nullptr;
  const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(room);
  return Narrow(name->FileName, static_cast<int>(name->FileNameLength / sizeof(wchar_t)));
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size, int* error) {
  const bool at_start = _lseeki64(file, 0, SEEK_SET) == 0 || FailedWith(errno, error);
  const long got = at_start ? ReadBytes(file, bytes, size, error) : -1;
  const bool back = _lseeki64(file, 0, SEEK_SET) == 0 || FailedWith(errno, error);
  return back ? got : -1;
}

// Cut first: a Ctrl+C then leaves the first lines of the new content, never
// new lines before old ones.
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, int* error) {
  const int number = _chsize_s(file, 0);
  if (number != 0) {
    FailedWith(number, error);
    return {Overwritten::kUnchanged, 0};
  }
  const std::size_t written = WriteAll(HandleOf(file), bytes, size, error);
  if (written == size) return {Overwritten::kWhole, size};
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
                         std::size_t size, std::optional<FileIdentity>* identity, int* error) {
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
  bool held = false;
  const HANDLE fresh = CreateReplacement(wide_replacement, &held);
  if (held) return Replaced::kHeld;
  if (fresh == INVALID_HANDLE_VALUE) return Replaced::kNotReplaced;
  // Its access list and attributes (hidden, archive); the times are new.
  FILE_BASIC_INFO attributes = {};
  attributes.FileAttributes = basic.FileAttributes;
  if (!CopyAccessList(HandleOf(file->get()), fresh) ||
      !SetFileInformationByHandle(fresh, FileBasicInfo, &attributes, sizeof attributes)) {
    CloseHandle(fresh);
    DeleteFileW(wide_replacement);
    return Replaced::kNotReplaced;
  }
  bool replaced =
      WriteAll(fresh, bytes, size, error) == size && (FlushFileBuffers(fresh) || Failed(error));
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
    for (int attempt = 0; attempt < 50; ++attempt) {
      replaced = SetFileInformationByHandle(fresh, FileRenameInfo, rename, sizeof room);
      const DWORD refusal = replaced ? ERROR_SUCCESS : GetLastError();
      if (refusal != ERROR_ACCESS_DENIED && refusal != ERROR_SHARING_VIOLATION) {
        if (!replaced && error) *error = ErrorNumber(refusal);
        break;
      }
      if (error) *error = EBUSY;
      Sleep(20);
    }
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

std::size_t WriteToStream(int file, const char* bytes, std::size_t size, int* error) {
  return WriteAll(HandleOf(file), bytes, size, error);
}

const char* CurrentFolder() {
  static char folder[MAX_PATH * 4];
  return _getcwd(folder, sizeof folder) ? folder : ".";
}
