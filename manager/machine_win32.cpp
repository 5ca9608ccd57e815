// The Windows machine: Windows Sockets 1.1, the Administrators access check, the working folder,
// GetVersionExA and the command interpreter.
#include <windows.h>
#include <winsock2.h>

#include <vector>

#include "machine.h"

namespace {

constexpr WORD kSocketsVersion = MAKEWORD(1, 1);
constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessReadWrite = 3;

// The access check of a token against a descriptor that grants read and write to the
// Administrators group alone.
bool TokenIsAdministrator(HANDLE token) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    bool verdict = false;
    const DWORD aclSize =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(administrators) - sizeof(DWORD);
    std::vector<BYTE> aclBuffer(aclSize);
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    SECURITY_DESCRIPTOR descriptor;
    if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        InitializeAcl(acl, aclSize, ACL_REVISION2) &&
        AddAccessAllowedAce(acl, ACL_REVISION2, kAccessReadWrite, administrators) &&
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
        SetSecurityDescriptorGroup(&descriptor, administrators, FALSE) &&
        SetSecurityDescriptorOwner(&descriptor, administrators, FALSE) &&
        IsValidSecurityDescriptor(&descriptor)) {
        GENERIC_MAPPING mapping = {
            .GenericRead = 1, .GenericWrite = 2, .GenericExecute = 0, .GenericAll = 3};
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges;
        DWORD granted = 0;
        BOOL status = FALSE;
        if (AccessCheck(&descriptor, token, kAccessRead, &mapping, &privileges, &privilegesSize,
                        &granted, &status)) {
            verdict = status != FALSE;
            RevertToSelf();
        }
    }
    FreeSid(administrators);
    return verdict;
}

bool TryInterpreter(const std::string& interpreter, const std::string& commandLine, bool* missing) {
    std::string line = "\"" + interpreter + "\" /c " + commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(interpreter.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                   error == ERROR_ACCESS_DENIED;
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::string Environment(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA(name, value.data(), size));
    return value;
}

}  // namespace

bool SystemMachine::StartSockets() {
    WSADATA data;
    if (WSAStartup(kSocketsVersion, &data) != 0) return false;
    if (data.wVersion != kSocketsVersion) {
        WSACleanup();
        return false;
    }
    return true;
}

void SystemMachine::StopSockets() { WSACleanup(); }

bool SystemMachine::IsAdministrator() {
    if (!ImpersonateSelf(SecurityImpersonation)) return false;
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            RevertToSelf();
            return false;
        }
    }
    const bool verdict = TokenIsAdministrator(token);
    CloseHandle(token);
    return verdict;
}

std::optional<std::string> SystemMachine::CurrentFolder() {
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return std::string(folder, length);
}

bool SystemMachine::FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<OsVersion> SystemMachine::QueryOsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return std::nullopt;
#pragma GCC diagnostic pop
    return OsVersion{.ntFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT,
                     .major = static_cast<unsigned>(info.dwMajorVersion)};
}

void SystemMachine::RunThroughInterpreter(const std::string& commandLine) {
    bool missing = true;
    const std::string comspec = Environment("COMSPEC");
    if (!comspec.empty() && (TryInterpreter(comspec, commandLine, &missing) || !missing)) return;
    const std::optional<OsVersion> version = QueryOsVersion();
    const char* name = version && version->ntFamily ? "cmd.exe" : "command.com";
    const std::string path = Environment("PATH");
    char found[MAX_PATH];
    if (SearchPathA(path.c_str(), name, nullptr, MAX_PATH, found, nullptr) == 0) return;
    TryInterpreter(found, commandLine, &missing);
}
