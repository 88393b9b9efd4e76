#include "resources/setup_image.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace orvanta::resources_test {
namespace {

Inputs& MutableInputs() {
  static Inputs inputs;
  return inputs;
}

std::wstring IdText(LPCWSTR id) {
  if (IS_INTRESOURCE(id)) return std::to_wstring(reinterpret_cast<ULONG_PTR>(id));
  return L"\"" + std::wstring(id) + L"\"";
}

struct Enumeration {
  std::vector<std::wstring> entries;
  std::wstring type;
  std::wstring name;
};

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
  auto* e = reinterpret_cast<Enumeration*>(context);
  e->entries.push_back(e->type + L"/" + e->name + L"/" + std::to_wstring(language));
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
  auto* e = reinterpret_cast<Enumeration*>(context);
  e->name = IdText(name);
  const size_t before = e->entries.size();
  EnumResourceLanguagesW(module, type, name, OnLanguage, context);
  // A name without any language would otherwise vanish from the table.
  if (e->entries.size() == before) e->entries.push_back(e->type + L"/" + e->name + L"/none");
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR context) {
  auto* e = reinterpret_cast<Enumeration*>(context);
  e->type = IdText(type);
  EnumResourceNamesW(module, type, OnName, context);
  return TRUE;
}

}  // namespace

const Inputs& TestInputs() { return MutableInputs(); }
void SetTestInputs(Inputs inputs) { MutableInputs() = std::move(inputs); }

DataFileModule::DataFileModule(const std::wstring& path)
    : module_(LoadLibraryExW(path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)),
      loadError_(module_ ? ERROR_SUCCESS : GetLastError()) {}

DataFileModule::~DataFileModule() {
  if (module_) FreeLibrary(module_);
}

std::vector<std::wstring> EnumerateResourceTable(HMODULE module) {
  Enumeration enumeration;
  EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&enumeration));
  return std::move(enumeration.entries);
}

std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCWSTR type, WORD id) {
  HRSRC resource = FindResourceExW(module, type, MAKEINTRESOURCEW(id), kUsEnglish);
  if (!resource) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  if (!data) return std::nullopt;
  return std::vector<uint8_t>(data, data + SizeofResource(module, resource));
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) {
    const std::u8string name = std::filesystem::path(path).u8string();
    throw std::runtime_error("cannot open " + std::string(name.begin(), name.end()));
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

}  // namespace orvanta::resources_test
