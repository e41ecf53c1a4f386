#include "text/ini.h"

#include "text/gbk.h"

namespace lh::text {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool equalsCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

std::string withoutLineBreaks(std::string_view s) {
  std::string out(s);
  std::erase(out, '\r');
  std::erase(out, '\n');
  return out;
}

}  // namespace

IniDocument::Line IniDocument::parse(std::string text, std::string ending) {
  Line line;
  line.text = std::move(text);
  line.ending = std::move(ending);
  const std::string_view t = trim(line.text);
  if (t.empty()) {
    line.kind = Kind::Blank;
  } else if (t.front() == '[') {
    line.kind = Kind::Section;
    std::string_view name = t.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    line.name = std::string(trim(name));
  } else if (t.front() == ';') {
    line.kind = Kind::Comment;
  } else {
    line.kind = Kind::Key;
    const std::size_t eq = line.text.find('=');
    if (eq == std::string::npos) {
      line.name = std::string(t);
      line.valueStart = line.text.size();
    } else {
      line.name = std::string(trim(std::string_view(line.text).substr(0, eq)));
      line.valueStart = eq + 1;
    }
  }
  return line;
}

IniDocument::IniDocument(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t nl = bytes.find('\n', start);
    if (nl == std::string_view::npos) {
      lines_.push_back(parse(std::string(bytes.substr(start)), ""));
      break;
    }
    std::size_t end = nl;
    std::string ending = "\n";
    if (end > start && bytes[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    lines_.push_back(parse(std::string(bytes.substr(start, end - start)), std::move(ending)));
    start = nl + 1;
  }
}

std::vector<std::pair<std::size_t, std::size_t>> IniDocument::sections(std::string_view name) const {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::Section || !equalsCaseless(lines_[i].name, name)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
    out.emplace_back(i + 1, end);
  }
  return out;
}

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const {
  for (auto [begin, end] : sections(section)) {
    for (std::size_t i = begin; i < end; ++i) {
      const Line& l = lines_[i];
      if (l.kind != Kind::Key || !equalsCaseless(l.name, key)) continue;
      std::string_view v = trim(std::string_view(l.text).substr(l.valueStart));
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      return std::string(cutAtBoundary(v, kMaxProfileValue));
    }
  }
  return std::nullopt;
}

void IniDocument::set(std::string_view sectionIn, std::string_view keyIn, std::string_view valueIn) {
  const std::string section = withoutLineBreaks(sectionIn);
  const std::string key = withoutLineBreaks(keyIn);
  const std::string value = withoutLineBreaks(valueIn);
  const auto found = sections(section);
  for (auto [begin, end] : found) {
    for (std::size_t i = begin; i < end; ++i) {
      Line& l = lines_[i];
      if (l.kind != Kind::Key || !equalsCaseless(l.name, key)) continue;
      std::string text = std::string(std::string_view(l.text).substr(0, l.valueStart));
      if (l.valueStart == l.text.size() && l.text.find('=') == std::string::npos) text += '=';
      l = parse(text + value, l.ending);
      return;
    }
  }
  auto ensureEnding = [this](std::size_t index) {
    if (index < lines_.size() && lines_[index].ending.empty()) lines_[index].ending = "\r\n";
  };
  if (!found.empty()) {
    // After the last non-blank line of the first section with that name.
    auto [begin, end] = found.front();
    std::size_t at = end;
    while (at > begin && lines_[at - 1].kind == Kind::Blank) --at;
    if (at > 0) ensureEnding(at - 1);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), parse(key + "=" + value, "\r\n"));
    return;
  }
  if (!lines_.empty()) ensureEnding(lines_.size() - 1);
  lines_.push_back(parse("[" + section + "]", "\r\n"));
  lines_.push_back(parse(key + "=" + value, "\r\n"));
}

bool IniDocument::remove(std::string_view section, std::string_view key) {
  bool removed = false;
  const auto found = sections(section);
  // Walk backwards so that earlier indices stay valid.
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    for (std::size_t i = it->second; i-- > it->first;) {
      if (lines_[i].kind == Kind::Key && equalsCaseless(lines_[i].name, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
      }
    }
  }
  return removed;
}

std::string IniDocument::bytes() const {
  std::string out;
  for (const Line& l : lines_) out.append(l.text).append(l.ending);
  return out;
}

std::string readProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                              std::string_view key) {
  const auto bytes = fs.readAll(path);
  if (!bytes) return {};
  return IniDocument(*bytes).get(section, key);
}

bool writeProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                        std::string_view key, std::string_view value) {
  IniDocument doc(fs.readAll(path).value_or(std::string()));
  doc.set(section, key, value);
  return fs.replace(path, doc.bytes());
}

bool deleteProfileKey(FileSystem& fs, const std::string& path, std::string_view section,
                      std::string_view key) {
  const auto bytes = fs.readAll(path);
  if (!bytes) return true;
  IniDocument doc(*bytes);
  if (!doc.remove(section, key)) return true;
  return fs.replace(path, doc.bytes());
}

CachedIniFile::CachedIniFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) { reload(); }

void CachedIniFile::reload() {
  const std::optional<std::string> bytes = fs_.readAll(path_);
  unreadable_ = !bytes && fs_.exists(path_);
  doc_ = IniDocument(bytes.value_or(std::string()));
}

bool CachedIniFile::set(std::string_view section, std::string_view key, std::string_view value) {
  if (unreadable_) return false;
  doc_.set(section, key, value);
  return fs_.replace(path_, doc_.bytes());
}

bool CachedIniFile::remove(std::string_view section, std::string_view key) {
  if (unreadable_) return false;
  if (!doc_.remove(section, key)) return true;
  return fs_.replace(path_, doc_.bytes());
}

}  // namespace lh::text
