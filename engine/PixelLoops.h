#pragma once
// PixelLoops: the worker's pixel loops of one render. Each casts the rays of
// the oversampled grid row by row from the top, shades them into line
// buffers and filters those into the target image's rows. It borrows the
// session, its main projection, the shader and the target image for one run.

#include <cstdint>

#include "host/sdk/RenderStatus.h"

class COruDib;
class CRenderSession;
class CScreenProjection;
class SurfaceShader;

class PixelLoops {
public:
  // The target must be a 32-bit image of the session's image size.
  PixelLoops(CRenderSession& session, CScreenProjection& projection, SurfaceShader& shader, COruDib& target);

  // The loop of the antialiasing level: 0 single samples, 2 the 3 x 3 tent,
  // 3 the 4 x 4 tent, any other the 2 x 2 box. Completed when done; aborted
  // when stopped or when a band or a line buffer cannot be had.
  RenderStatus Run(int antialias_level);

  // Shades the oversampled row y (which must lie in the current band) into
  // buffer[0 .. oversampled width - 1], each sample blue | green << 8 | red << 16.
  // Stops early when the abort flag is raised.
  void RenderRow(int y, std::uint32_t* buffer);

  RenderStatus SingleSampleLoop();
  RenderStatus BoxLoop();
  RenderStatus Tent3Loop();
  RenderStatus Tent4Loop();

private:
  bool Aborted() const;
  void AnnounceBand(int band_height, int band_index);
  // Image row y in the target's memory (bottom-up rows).
  std::uint32_t* TargetRow(int y) const;
  RenderStatus Finished() const { return Aborted() ? RenderStatus::aborted : RenderStatus::completed; }

  CRenderSession& m_session;
  CScreenProjection& m_projection;
  SurfaceShader& m_shader;
  COruDib& m_target;
  int m_width;   // oversampled
  int m_height;  // oversampled
  int m_band_height;
};
