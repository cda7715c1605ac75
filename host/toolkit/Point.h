#pragma once
// Points and vectors of the geometry toolkit: small value types in single
// (mesh data) and double (rays, hit points, cameras) precision, with the
// free functions TK_DotProduct and TK_CrossProduct. Points and vectors are
// distinct types: point - point is a vector, point + vector a point.

#include <cmath>

template <typename T> struct TK_2Point {
  T x{}, y{};
  constexpr TK_2Point() = default;
  constexpr TK_2Point(T x_, T y_) : x(x_), y(y_) {}
  template <typename U> constexpr explicit TK_2Point(const TK_2Point<U>& p) : x(T(p.x)), y(T(p.y)) {}
  constexpr TK_2Point operator+(const TK_2Point& o) const { return {x + o.x, y + o.y}; }
  constexpr TK_2Point operator-(const TK_2Point& o) const { return {x - o.x, y - o.y}; }
  constexpr TK_2Point operator*(T s) const { return {x * s, y * s}; }
  constexpr bool operator==(const TK_2Point&) const = default;
};

template <typename T> struct TK_3Vector {
  T x{}, y{}, z{};
  constexpr TK_3Vector() = default;
  constexpr TK_3Vector(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}
  template <typename U> constexpr explicit TK_3Vector(const TK_3Vector<U>& v) : x(T(v.x)), y(T(v.y)), z(T(v.z)) {}

  constexpr T& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  constexpr T operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  constexpr TK_3Vector operator+(const TK_3Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr TK_3Vector operator-(const TK_3Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr TK_3Vector operator-() const { return {-x, -y, -z}; }
  constexpr TK_3Vector operator*(T s) const { return {x * s, y * s, z * s}; }
  constexpr TK_3Vector operator/(T s) const { return {x / s, y / s, z / s}; }
  constexpr TK_3Vector& operator+=(const TK_3Vector& o) { x += o.x; y += o.y; z += o.z; return *this; }
  constexpr TK_3Vector& operator-=(const TK_3Vector& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  constexpr TK_3Vector& operator*=(T s) { x *= s; y *= s; z *= s; return *this; }
  constexpr bool operator==(const TK_3Vector&) const = default;

  T LengthSquared() const { return x * x + y * y + z * z; }
  T Length() const { return std::sqrt(LengthSquared()); }
  // Every component within tol of zero.
  bool IsTiny(double tol = 1e-12) const {
    return std::fabs(double(x)) <= tol && std::fabs(double(y)) <= tol && std::fabs(double(z)) <= tol;
  }
  // Scales to unit length. A zero (or non-finite) vector is left unchanged
  // and the answer is false.
  bool Unitize() { return UnitizeByLength(std::sqrt(double(x) * x + double(y) * y + double(z) * z)); }
  // Unitize for a caller that already took the root of the double-precision
  // squared length: the same result without a second root.
  bool UnitizeByLength(double len) {
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    const double inv = 1.0 / len;
    x = T(x * inv); y = T(y * inv); z = T(z * inv);
    return true;
  }
};

template <typename T> struct TK_3Point {
  T x{}, y{}, z{};
  constexpr TK_3Point() = default;
  constexpr TK_3Point(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}
  template <typename U> constexpr explicit TK_3Point(const TK_3Point<U>& p) : x(T(p.x)), y(T(p.y)), z(T(p.z)) {}
  template <typename U> constexpr explicit TK_3Point(const TK_3Vector<U>& v) : x(T(v.x)), y(T(v.y)), z(T(v.z)) {}
  template <typename U> constexpr explicit operator TK_3Vector<U>() const { return {U(x), U(y), U(z)}; }

  constexpr T& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  constexpr T operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  constexpr TK_3Vector<T> operator-(const TK_3Point& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr TK_3Point operator+(const TK_3Vector<T>& v) const { return {x + v.x, y + v.y, z + v.z}; }
  constexpr TK_3Point operator-(const TK_3Vector<T>& v) const { return {x - v.x, y - v.y, z - v.z}; }
  constexpr TK_3Point& operator+=(const TK_3Vector<T>& v) { x += v.x; y += v.y; z += v.z; return *this; }
  constexpr bool operator==(const TK_3Point&) const = default;

  T DistanceTo(const TK_3Point& o) const { return (*this - o).Length(); }
};

using TK_2fPoint = TK_2Point<float>;
using TK_2dPoint = TK_2Point<double>;
using TK_3fPoint = TK_3Point<float>;
using TK_3dPoint = TK_3Point<double>;
using TK_3fVector = TK_3Vector<float>;
using TK_3dVector = TK_3Vector<double>;

template <typename T> constexpr TK_3Vector<T> operator*(T s, const TK_3Vector<T>& v) { return v * s; }

template <typename T> constexpr T TK_DotProduct(const TK_3Vector<T>& a, const TK_3Vector<T>& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <typename T> constexpr TK_3Vector<T> TK_CrossProduct(const TK_3Vector<T>& a, const TK_3Vector<T>& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
