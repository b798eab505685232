// The application's resources as windres compiled them into an executable, read
// back the way Windows reads them.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The resource types by number: the named constants follow the ANSI build.
const wchar_t* const kIconType = MAKEINTRESOURCEW(3);
const wchar_t* const kIconGroupType = MAKEINTRESOURCEW(14);
const wchar_t* const kManifestType = MAKEINTRESOURCEW(24);

// Built beside this test program.
std::wstring carrierPath() {
    std::wstring own(MAX_PATH, L'\0');
    own.resize(::GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size())));
    return own.substr(0, own.find_last_of(L'\\') + 1) + L"resource_carrier.exe";
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return out;
}

TEST(VersionBlock, CarriesVersionsAndNames) {
    const std::wstring carrier = carrierPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(carrier.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "error " << ::GetLastError();
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(carrier.c_str(), 0, size, block.data()));

    struct Translation {
        WORD language;
        WORD codePage;
    };
    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &found, &length));
    ASSERT_GE(length, sizeof(Translation));
    Translation translation{};
    std::memcpy(&translation, found, sizeof(translation));
    std::array<wchar_t, 64> prefix{};
    std::swprintf(prefix.data(), prefix.size(), L"\\StringFileInfo\\%04x%04x\\",
                  translation.language, translation.codePage);

    const std::map<std::wstring, std::string> expected = {
        {L"FileVersion", "1.0.0.0"},
        {L"ProductVersion", "1.0.0.0"},
        {L"FileDescription", "TavroUpdate0075a"},
        {L"ProductName", "TavroUpdate0075a"},
    };
    for (const auto& [name, value] : expected) {
        ASSERT_TRUE(::VerQueryValueW(block.data(), (prefix.data() + name).c_str(), &found, &length))
            << narrow(name.c_str()) << " is missing";
        EXPECT_EQ(narrow(static_cast<const wchar_t*>(found)), value) << narrow(name.c_str());
    }

    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", &found, &length));
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, found, sizeof(fixed));
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0u);
}

// The carrier's resources, loaded as data: nothing of it runs.
class CarrierResources : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(carrierPath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "error " << ::GetLastError();
    }
    void TearDown() override {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }
    std::string resource(const wchar_t* name, const wchar_t* type) const {
        HRSRC found = ::FindResourceW(module_, name, type);
        if (found == nullptr) {
            return {};
        }
        const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
        return std::string(data, ::SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

TEST_F(CarrierResources, ManifestAsksForCommonControls6AndNoElevation) {
    const std::string manifest = resource(MAKEINTRESOURCEW(1), kManifestType);
    ASSERT_FALSE(manifest.empty());
    for (const char* wanted : {
             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
             R"(level="asInvoker")", R"(uiAccess="false")",
             "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
         }) {
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    }
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos) << "no DPI awareness is declared";
}

// Bits per pixel of one icon image: a PNG's or a bitmap's own header.
int bitsPerPixel(const std::string& image) {
    if (image.size() >= 26 && image.compare(1, 3, "PNG") == 0) {
        const int depth = static_cast<unsigned char>(image[24]);
        switch (static_cast<unsigned char>(image[25])) {
            case 6:
                return depth * 4;  // RGBA
            case 2:
                return depth * 3;  // RGB
            default:
                return depth;
        }
    }
    BITMAPINFOHEADER header{};
    if (image.size() < sizeof(header)) {
        return 0;
    }
    std::memcpy(&header, image.data(), sizeof(header));
    return header.biBitCount;
}

TEST_F(CarrierResources, MainIconHoldsFourSizesIn32BitColour) {
    const std::string group = resource(L"MAINICON", kIconGroupType);
    ASSERT_GE(group.size(), 6u);
    // The group directory: a 6-byte head, then 14 bytes for each image.
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, sizeof(count));
    ASSERT_EQ(group.size(), 6u + 14u * count);

    std::map<int, int> bitsBySize;
    for (WORD i = 0; i < count; ++i) {
        const char* entry = group.data() + 6 + 14 * i;
        const int width = static_cast<unsigned char>(entry[0]);
        WORD id = 0;
        std::memcpy(&id, entry + 12, sizeof(id));
        bitsBySize[width == 0 ? 256 : width] =
            bitsPerPixel(resource(MAKEINTRESOURCEW(id), kIconType));
    }
    EXPECT_EQ(bitsBySize, (std::map<int, int>{{16, 32}, {32, 32}, {48, 32}, {64, 32}}));
}

}  // namespace
