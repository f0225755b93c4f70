// Helpers for the registry unit tests: keys and values planted below HKEY_LOCAL_MACHINE in
// the test's own throwaway prefix, and the console output of the code under test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace registry_test {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

// The system folder path as the platform gives it, with its backslash.
inline std::string SystemFolder()
{
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, sizeof(directory));
    std::string folder = directory;
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

inline bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

inline bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

inline void CreateKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << path;
    RegCloseKey(key);
}

// Sets a value of any type from raw bytes, creating the key when needed.
inline void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                     const std::string& bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << path;
    LONG status = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, status) << path << " " << name;
}

// A REG_SZ value with its terminating zero.
inline void SetText(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text)
{
    SetValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

inline void DeleteTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

// Services the service control manager knows, made and removed by the tests.
inline bool ServiceKnown(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return false;
    }
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return service != nullptr;
}

inline void CreateTestService(const char* name, const std::string& image)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager) << GetLastError();
    SC_HANDLE service = CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseServiceHandle(manager);
    ASSERT_NE(nullptr, service) << name << ": CreateServiceA failed with " << error;
    CloseServiceHandle(service);
}

inline void RemoveTestService(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return;
    }
    SC_HANDLE service = OpenServiceA(manager, name, DELETE);
    if (service != nullptr) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// Runs `body` and gives what it printed on the console.
template <typename Body>
std::string Printed(Body body)
{
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

}  // namespace registry_test
