#include "host/toolkit/Object.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {
// The process-wide class registry. Classes register from static constructors
// of the host and of loaded modules, so it is built on first use.
struct ClassRegistry {
  std::mutex mutex;
  std::vector<const TK_ClassId*> classes;
};
ClassRegistry& Registry() {
  static ClassRegistry registry;
  return registry;
}
}  // namespace

TK_ClassId::TK_ClassId(const char* class_name, const char* base_class_name, Factory factory, const char* uuid)
    : class_name_(class_name), base_class_name_(base_class_name), factory_(factory),
      uuid_(TK_UUID::FromString(uuid ? uuid : "").value_or(TK_UUID{})) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  r.classes.push_back(this);
}

TK_ClassId::~TK_ClassId() {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  std::erase(r.classes, this);
}

const TK_ClassId* TK_ClassId::BaseClass() const {
  if (!base_class_name_ || !*base_class_name_ || std::strcmp(base_class_name_, class_name_) == 0) return nullptr;
  return ClassId(base_class_name_);
}

std::unique_ptr<TK_Object> TK_ClassId::Create() const { return factory_ ? factory_() : nullptr; }

bool TK_ClassId::IsDerivedFrom(const TK_ClassId* other) const {
  if (!other) return false;
  // Bounded walk: a registry with a cycle in its base names must not hang.
  const TK_ClassId* c = this;
  for (int depth = 0; c && depth < 64; ++depth, c = c->BaseClass()) {
    if (c == other) return true;
  }
  return false;
}

const TK_ClassId* TK_ClassId::ClassId(const TK_UUID& uuid) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  for (const TK_ClassId* c : r.classes)
    if (c->uuid_ == uuid) return c;
  return nullptr;
}

const TK_ClassId* TK_ClassId::ClassId(const char* class_name) {
  if (!class_name) return nullptr;
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  for (const TK_ClassId* c : r.classes)
    if (std::strcmp(c->class_name_, class_name) == 0) return c;
  return nullptr;
}

const TK_ClassId TK_Object::m_TK_Object_class_id("TK_Object", "", nullptr, "172559C7-3768-4A96-B44F-708855E71187");

TK_Object::TK_Object(const TK_Object& other) { CopyUserDataFrom(other); }

TK_Object& TK_Object::operator=(const TK_Object& other) {
  if (this != &other) {
    user_data_.clear();
    CopyUserDataFrom(other);
  }
  return *this;
}

TK_Object::TK_Object(TK_Object&& other) noexcept : user_data_(std::move(other.user_data_)) {
  for (auto& u : user_data_) u->owner_ = this;
}

TK_Object& TK_Object::operator=(TK_Object&& other) noexcept {
  if (this != &other) {
    user_data_ = std::move(other.user_data_);
    for (auto& u : user_data_) u->owner_ = this;
  }
  return *this;
}

TK_Object::~TK_Object() = default;

void TK_Object::CopyUserDataFrom(const TK_Object& other) {
  for (const auto& u : other.user_data_) {
    if (u->m_userdata_copycount == 0) continue;
    std::unique_ptr<TK_Object> copy = u->DuplicateObject();
    if (auto* ud = TK_UserData::Cast(copy.get())) {
      copy.release();
      AttachUserData(std::unique_ptr<TK_UserData>(ud));
    }
  }
}

const TK_ClassId* TK_Object::ClassId() const { return &m_TK_Object_class_id; }

std::unique_ptr<TK_Object> TK_Object::DuplicateObject() const { return nullptr; }

void TK_Object::Dump(TK_wString& text) const { text += TK_wString::FromUtf8(ClassId()->ClassName()); }

bool TK_Object::Write(TK_BinaryArchive&) const { return false; }

bool TK_Object::Read(TK_BinaryArchive&) { return false; }

bool TK_Object::IsKindOf(const TK_ClassId* class_id) const { return ClassId()->IsDerivedFrom(class_id); }

bool TK_Object::AttachUserData(std::unique_ptr<TK_UserData> user_data) {
  if (!user_data || user_data->owner_ || GetUserData(user_data->m_userdata_uuid)) return false;
  user_data->owner_ = this;
  user_data_.push_back(std::move(user_data));
  return true;
}

std::unique_ptr<TK_UserData> TK_Object::DetachUserData(TK_UserData* user_data) {
  auto it = std::find_if(user_data_.begin(), user_data_.end(), [&](const auto& u) { return u.get() == user_data; });
  if (it == user_data_.end()) return nullptr;
  std::unique_ptr<TK_UserData> detached = std::move(*it);
  user_data_.erase(it);
  detached->owner_ = nullptr;
  return detached;
}

TK_UserData* TK_Object::GetUserData(const TK_UUID& user_data_uuid) const {
  for (const auto& u : user_data_)
    if (u->m_userdata_uuid == user_data_uuid) return u.get();
  return nullptr;
}

TK_VIRTUAL_OBJECT_IMPLEMENT(TK_UserData, TK_Object, "6F9AF33E-141A-4EC9-BA93-F4673AAAC1AB")

TK_UserData::TK_UserData(const TK_UserData& other)
    : TK_Object(other), m_userdata_uuid(other.m_userdata_uuid), m_userdata_copycount(other.m_userdata_copycount) {}

TK_UserData& TK_UserData::operator=(const TK_UserData& other) {
  if (this != &other) {
    TK_Object::operator=(other);
    m_userdata_uuid = other.m_userdata_uuid;
    m_userdata_copycount = other.m_userdata_copycount;
  }
  return *this;
}

bool TK_UserData::GetDescription(TK_wString& description) {
  description = TK_wString::FromUtf8(ClassId()->ClassName());
  return true;
}
