#pragma once
// The toolkit's object model: TK_Object with run-time class identity
// (TK_ClassId, a registry of class name, base class name, identifier and
// factory) and attached user data. An object owns the TK_UserData attached to
// it; user data whose copy count is non-zero follows the object when it is copied.

#include <memory>
#include <vector>

#include "host/toolkit/String.h"
#include "host/toolkit/Uuid.h"

class TK_Object;
class TK_UserData;
class TK_BinaryArchive;
class TK_Xform;

// One registered class. Instances are static objects: construction registers
// the class, destruction (module unload) removes it again.
class TK_ClassId {
public:
  using Factory = std::unique_ptr<TK_Object> (*)();
  TK_ClassId(const char* class_name, const char* base_class_name, Factory factory, const char* uuid);
  ~TK_ClassId();
  TK_ClassId(const TK_ClassId&) = delete;
  TK_ClassId& operator=(const TK_ClassId&) = delete;

  const char* ClassName() const { return class_name_; }
  const char* BaseClassName() const { return base_class_name_; }
  const TK_UUID& Uuid() const { return uuid_; }
  const TK_ClassId* BaseClass() const;
  // A new default-constructed instance, or null for abstract classes.
  std::unique_ptr<TK_Object> Create() const;
  bool IsDerivedFrom(const TK_ClassId* other) const;

  static const TK_ClassId* ClassId(const TK_UUID& uuid);
  static const TK_ClassId* ClassId(const char* class_name);

private:
  const char* class_name_;
  const char* base_class_name_;
  Factory factory_;
  TK_UUID uuid_;
};

// Declares the class-identity members of a TK_Object subclass; pair with
// TK_OBJECT_IMPLEMENT in the class's source file.
#define TK_OBJECT_DECLARE(cls)                                   \
public:                                                          \
  static const TK_ClassId m_##cls##_class_id;                    \
  const TK_ClassId* ClassId() const override;                    \
  static cls* Cast(TK_Object* object);                           \
  static const cls* Cast(const TK_Object* object);

#define TK_OBJECT_IMPLEMENT_COMMON(cls, base, uuid, factory)                                         \
  const TK_ClassId cls::m_##cls##_class_id(#cls, #base, factory, uuid);                              \
  const TK_ClassId* cls::ClassId() const { return &m_##cls##_class_id; }                             \
  cls* cls::Cast(TK_Object* o) { return o && o->IsKindOf(&m_##cls##_class_id) ? static_cast<cls*>(o) : nullptr; } \
  const cls* cls::Cast(const TK_Object* o) {                                                         \
    return o && o->IsKindOf(&m_##cls##_class_id) ? static_cast<const cls*>(o) : nullptr;           \
  }

#define TK_OBJECT_IMPLEMENT(cls, base, uuid) \
  TK_OBJECT_IMPLEMENT_COMMON(cls, base, uuid, []() -> std::unique_ptr<TK_Object> { return std::make_unique<cls>(); })

#define TK_VIRTUAL_OBJECT_IMPLEMENT(cls, base, uuid) TK_OBJECT_IMPLEMENT_COMMON(cls, base, uuid, nullptr)

class TK_Object {
public:
  static const TK_ClassId m_TK_Object_class_id;

  TK_Object() = default;
  // Copies bring along the user data whose copy count is non-zero.
  TK_Object(const TK_Object& other);
  TK_Object& operator=(const TK_Object& other);
  TK_Object(TK_Object&&) noexcept;
  TK_Object& operator=(TK_Object&&) noexcept;
  virtual ~TK_Object();

  virtual const TK_ClassId* ClassId() const;
  // A new object of the same class with the same contents; null when the
  // class cannot be duplicated.
  virtual std::unique_ptr<TK_Object> DuplicateObject() const;
  virtual bool IsValid() const { return true; }
  virtual void Dump(TK_wString& text) const;
  virtual unsigned int SizeOf() const { return sizeof(TK_Object); }
  virtual bool Write(TK_BinaryArchive& archive) const;
  virtual bool Read(TK_BinaryArchive& archive);
  virtual unsigned int ObjectType() const { return 0; }
  virtual void DestroyRuntimeCache(bool /*delete_children*/) {}

  bool IsKindOf(const TK_ClassId* class_id) const;

  // Takes ownership of the user data. Fails (and hands nothing over) when the
  // record is null or another record with the same identifier is attached.
  bool AttachUserData(std::unique_ptr<TK_UserData> user_data);
  // Gives the record back to the caller; null when it is not attached here.
  std::unique_ptr<TK_UserData> DetachUserData(TK_UserData* user_data);
  TK_UserData* GetUserData(const TK_UUID& user_data_uuid) const;
  const std::vector<std::unique_ptr<TK_UserData>>& AllUserData() const { return user_data_; }

private:
  void CopyUserDataFrom(const TK_Object& other);

  std::vector<std::unique_ptr<TK_UserData>> user_data_;
};

// Data a plug-in attaches to a toolkit object. The identifier says which
// plug-in record it is; a non-zero copy count makes it follow object copies.
class TK_UserData : public TK_Object {
  TK_OBJECT_DECLARE(TK_UserData)
public:
  TK_UserData() = default;
  TK_UserData(const TK_UserData& other);
  TK_UserData& operator=(const TK_UserData& other);

  virtual bool GetDescription(TK_wString& description);
  // True when the record is saved with its owner in documents.
  virtual bool Archive() const { return false; }
  virtual bool Transform(const TK_Xform& /*xform*/) { return true; }

  TK_Object* Owner() const { return owner_; }

  TK_UUID m_userdata_uuid;
  int m_userdata_copycount = 0;

private:
  friend class TK_Object;
  TK_Object* owner_ = nullptr;
};
