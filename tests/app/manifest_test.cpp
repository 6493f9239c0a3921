#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string>

namespace {

// The build folder as Wine sees it: the Unix root is drive Z.
std::wstring BuiltExe() {
    const char* build = getenv("TIVRA_BUILD_DIR");
    std::string path = std::string("Z:") + (build ? build : "") + "/Tivra.exe";
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return std::wstring(path.begin(), path.end());
}

std::string ManifestResource(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return "";
    std::string text;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? (const char*)LockResource(loaded) : nullptr;
    if (bytes) text.assign(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

}  // namespace

TEST(Manifest, ExecutableCarriesItAsResourceOne) {
    const std::string manifest = ManifestResource(BuiltExe());
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST 1 in Tivra.exe";
    const char* expected[] = {
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
        ">PerMonitorV2, PerMonitor</dpiAwareness>",
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
    };
    for (const char* piece : expected) {
        EXPECT_NE(manifest.find(piece), std::string::npos) << piece;
    }
}

// The loader reads the same resource: a manifest it cannot parse gives no context.
TEST(Manifest, LoaderBuildsAnActivationContextWithTheDpiSettings) {
    const std::wstring exe = BuiltExe();
    ACTCTXW context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = exe.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE handle = CreateActCtxW(&context);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();

    typedef BOOL(WINAPI * QuerySettingsFn)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*, SIZE_T, SIZE_T*);
    auto query = (QuerySettingsFn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryActCtxSettingsW");
    if (query) {
        const struct {
            const wchar_t* ns;
            const wchar_t* name;
            const wchar_t* value;
        } settings[] = {
            {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
            {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        };
        for (const auto& s : settings) {
            wchar_t value[64] = {0};
            SIZE_T written = 0;
            EXPECT_TRUE(query(0, handle, s.ns, s.name, value, 64, &written)) << s.name;
            EXPECT_STREQ(value, s.value);
        }
    }
    ReleaseActCtx(handle);
}
