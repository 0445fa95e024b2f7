// Path splitting and joining, in one place for the readers and discovery.
#include "util/path.h"

std::optional<std::string_view> file_name(std::string_view path) {
  while (true) {
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    if (path.empty()) return std::nullopt;
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name != ".") return name;
    if (slash == std::string_view::npos) return std::nullopt;
    path = path.substr(0, slash);
  }
}

std::optional<std::string_view> file_stem(std::string_view path) {
  const std::optional<std::string_view> name = file_name(path);
  if (!name) return std::nullopt;
  const std::size_t dot = name->rfind('.');
  if (dot == std::string_view::npos || dot == 0 || *name == "..") return name;
  return name->substr(0, dot);
}

std::optional<std::string_view> parent_name(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::optional<std::string_view> name = file_name(path.substr(0, slash));
  if (!name || *name == "..") return std::nullopt;
  return name;
}

std::string_view path_tail(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string join_path(std::string_view base, std::string_view name) {
  std::string out(base);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

std::string normalized_path(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  const bool absolute = !path.empty() && path.front() == '/';
  if (absolute) out.push_back('/');
  bool first = true;
  std::size_t i = 0;
  while (true) {
    while (i < path.size() && path[i] == '/') ++i;
    if (i == path.size()) break;
    std::size_t end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(i, end - i);
    i = end;
    const bool keep = component != "." || (first && !absolute);
    first = false;
    if (!keep) continue;
    if (!out.empty() && out.back() != '/') out.push_back('/');
    out.append(component);
  }
  return out;
}
