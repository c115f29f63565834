// The OpenGL presenter: one texture the size of the frame, refreshed with
// glTexSubImage2D from the frame's own memory, and one quad drawn into the
// letterboxed part of the window with the rest cleared to black.
#include "platform/qt/gl_presenter.h"

#include <dirent.h>

#include <QtCore/QtGlobal>
#include <QtGui/QOpenGLContext>
#include <QtGui/QOpenGLFunctions>
#include <QtGui/QSurfaceFormat>
#include <QtGui/QWindow>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "platform/qt/letterbox.h"

struct GlPresenter {
  QOpenGLContext* context = nullptr;  // owned
  std::string renderer;
  GLuint program = 0;
  GLuint vertexBuffer = 0;
  GLuint texture = 0;
  GLenum internalFormat = GL_RGBA8;
  bool rowLength = false;  // GL_UNPACK_ROW_LENGTH: the frame's pitch can be uploaded as it is
  int textureWidth = 0;    // 0 before the first frame
  int textureHeight = 0;
  bool checkErrors = true;  // after the texture was (re)made: ask GL whether it all worked
  bool failNext = false;
};

namespace {

// Qt reports what goes wrong in a context's life on stderr; a failure here
// only means the frames go through QPainter instead, so nothing is said.
class QuietMessages {
 public:
  QuietMessages() : previous_(qInstallMessageHandler(Swallow)) {}
  ~QuietMessages() { qInstallMessageHandler(previous_); }
  QuietMessages(const QuietMessages&) = delete;
  QuietMessages& operator=(const QuietMessages&) = delete;

 private:
  static void Swallow(QtMsgType, const QMessageLogContext&, const QString&) {}
  QtMessageHandler previous_;
};

// Written for both desktop GLSL 1.10 and GLSL ES 1.00; the ES prefix adds
// the precision a texture coordinate needs to address every texel.
const char kVertexShader[] =
    "attribute vec2 position;\n"
    "attribute vec2 texCoord;\n"
    "varying vec2 uv;\n"
    "void main() {\n"
    "  uv = texCoord;\n"
    "  gl_Position = vec4(position, 0.0, 1.0);\n"
    "}\n";
// The frame's top byte is 0: the picture is drawn opaque whatever it holds.
const char kFragmentShader[] =
    "varying vec2 uv;\n"
    "uniform sampler2D frame;\n"
    "void main() {\n"
    "  gl_FragColor = vec4(texture2D(frame, uv).rgb, 1.0);\n"
    "}\n";
const char kEsPrefix[] = "precision highp float;\n";

// x, y, u, v for a triangle strip over the viewport; the frame's first row
// is the texture's first row and belongs at the top.
const GLfloat kQuad[] = {-1, -1, 0, 1, 1, -1, 1, 1, -1, 1, 0, 0, 1, 1, 1, 0};

GLuint CompileShader(QOpenGLFunctions* f, GLenum type, bool es, const char* source) {
  GLuint shader = f->glCreateShader(type);
  if (shader == 0) return 0;
  const char* parts[] = {es ? kEsPrefix : "", source};
  f->glShaderSource(shader, 2, parts, nullptr);
  f->glCompileShader(shader);
  GLint compiled = 0;
  f->glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (!compiled) {
    f->glDeleteShader(shader);
    return 0;
  }
  return shader;
}

bool BuildObjects(GlPresenter* p) {
  QOpenGLFunctions* f = p->context->functions();
  bool es = p->context->isOpenGLES();
  if (es) {
    // Frames are B,G,R,0 in memory: ES takes them only with this extension.
    if (!p->context->hasExtension("GL_EXT_texture_format_BGRA8888")) return false;
    p->internalFormat = GL_BGRA;
    p->rowLength = p->context->format().majorVersion() >= 3;
  } else {
    p->rowLength = true;
  }
  GLuint vertex = CompileShader(f, GL_VERTEX_SHADER, es, kVertexShader);
  GLuint fragment = CompileShader(f, GL_FRAGMENT_SHADER, es, kFragmentShader);
  if (vertex != 0 && fragment != 0) {
    p->program = f->glCreateProgram();
    f->glAttachShader(p->program, vertex);
    f->glAttachShader(p->program, fragment);
    f->glBindAttribLocation(p->program, 0, "position");
    f->glBindAttribLocation(p->program, 1, "texCoord");
    f->glLinkProgram(p->program);
  }
  if (vertex != 0) f->glDeleteShader(vertex);
  if (fragment != 0) f->glDeleteShader(fragment);
  if (p->program == 0) return false;
  GLint linked = 0;
  f->glGetProgramiv(p->program, GL_LINK_STATUS, &linked);
  if (!linked) return false;
  f->glUseProgram(p->program);
  f->glUniform1i(f->glGetUniformLocation(p->program, "frame"), 0);

  f->glGenBuffers(1, &p->vertexBuffer);
  f->glBindBuffer(GL_ARRAY_BUFFER, p->vertexBuffer);
  f->glBufferData(GL_ARRAY_BUFFER, sizeof kQuad, kQuad, GL_STATIC_DRAW);

  f->glGenTextures(1, &p->texture);
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, p->texture);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return f->glGetError() == GL_NO_ERROR;
}

// Clears the window and draws the texture into its letterboxed part; the
// caller has made the context current.
bool Draw(GlPresenter* p, QWindow* window) {
  QOpenGLFunctions* f = p->context->functions();
  qreal ratio = window->devicePixelRatio();
  int width = qRound(window->width() * ratio), height = qRound(window->height() * ratio);
  f->glBindFramebuffer(GL_FRAMEBUFFER, p->context->defaultFramebufferObject());
  f->glDisable(GL_BLEND);
  f->glDisable(GL_SCISSOR_TEST);
  f->glViewport(0, 0, width, height);
  f->glClearColor(0, 0, 0, 1);
  f->glClear(GL_COLOR_BUFFER_BIT);
  if (p->textureWidth > 0) {
    LetterboxRect picture = FitLetterbox(width, height, p->textureWidth, p->textureHeight);
    // GL counts rows from the bottom.
    f->glViewport(picture.x, height - picture.y - picture.height, picture.width, picture.height);
    f->glUseProgram(p->program);
    f->glActiveTexture(GL_TEXTURE0);
    f->glBindTexture(GL_TEXTURE_2D, p->texture);
    f->glBindBuffer(GL_ARRAY_BUFFER, p->vertexBuffer);
    f->glEnableVertexAttribArray(0);
    f->glEnableVertexAttribArray(1);
    f->glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(GLfloat), nullptr);
    f->glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(GLfloat),
                             reinterpret_cast<const void*>(2 * sizeof(GLfloat)));
    f->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  if (p->checkErrors) {
    if (f->glGetError() != GL_NO_ERROR) return false;
    p->checkErrors = false;
  }
  p->context->swapBuffers(window);
  return true;
}

}  // namespace

PresentChoice PresentChoiceFrom(const char* value) {
  if (!value) return PresentChoice::Automatic;
  if (std::strcmp(value, "painter") == 0) return PresentChoice::Painter;
  if (std::strcmp(value, "opengl") == 0) return PresentChoice::OpenGL;
  if (std::strcmp(value, "shm") == 0) return PresentChoice::SharedImage;
  return PresentChoice::Automatic;
}

bool IsSoftwareRenderer(const char* renderer) {
  if (!renderer || !*renderer) return true;
  std::string lower(renderer);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
    if (lower.find(name) != std::string::npos) return true;
  }
  return false;
}

bool HasRenderNode(const char* directory) {
  DIR* dir = opendir(directory);
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, "renderD", 7) != 0 || name[7] == '\0') continue;
    found = true;
    for (const char* c = name + 7; *c; ++c)
      if (*c < '0' || *c > '9') found = false;
    if (found) break;
  }
  closedir(dir);
  return found;
}

GlPresenter* CreateGlPresenter(QWindow* window, bool hardwareOnly) {
  QuietMessages quiet;
  QSurfaceFormat format;
  format.setDepthBufferSize(0);
  format.setStencilBufferSize(0);
  format.setAlphaBufferSize(0);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  // The frame loop paces itself; waiting for the vertical blank as well
  // would make this path run slower than the QPainter one.
  format.setSwapInterval(0);
  window->setSurfaceType(QSurface::OpenGLSurface);
  window->setFormat(format);
  window->create();

  auto p = std::make_unique<GlPresenter>();
  bool ready = false;
  if (window->handle() && window->supportsOpenGL()) {
    p->context = new QOpenGLContext;
    p->context->setFormat(format);
    if (p->context->create() && p->context->makeCurrent(window)) {
      const GLubyte* renderer = p->context->functions()->glGetString(GL_RENDERER);
      if (renderer) p->renderer = reinterpret_cast<const char*>(renderer);
      ready = !(hardwareOnly && IsSoftwareRenderer(p->renderer.c_str())) && BuildObjects(p.get());
    }
  }
  if (!ready) {
    DestroyGlPresenter(p.release());
    MakeRasterWindow(window);
    return nullptr;
  }
  return p.release();
}

bool GlPresentFrame(GlPresenter* p, QWindow* window, const uint8_t* pixels, int width, int height,
                    int rowPixels) {
  QuietMessages quiet;
  if (p->failNext) {
    p->failNext = false;
    return false;
  }
  if (!p->context->makeCurrent(window)) return false;
  QOpenGLFunctions* f = p->context->functions();
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, p->texture);
  if (width != p->textureWidth || height != p->textureHeight) {
    f->glTexImage2D(GL_TEXTURE_2D, 0, GLint(p->internalFormat), width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                    nullptr);
    p->textureWidth = width;
    p->textureHeight = height;
    p->checkErrors = true;
  }
  f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (p->rowLength) {
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, rowPixels);
    f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  } else if (rowPixels == width) {
    f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  } else {
    for (int y = 0; y < height; ++y) {
      f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, y, width, 1, GL_BGRA, GL_UNSIGNED_BYTE,
                         pixels + size_t(y) * size_t(rowPixels) * 4);
    }
  }
  return Draw(p, window);
}

bool GlRedraw(GlPresenter* p, QWindow* window) {
  QuietMessages quiet;
  if (!p->context->makeCurrent(window)) return false;
  return Draw(p, window);
}

const char* GlRendererName(const GlPresenter* p) { return p->renderer.c_str(); }

void FailNextGlPresent(GlPresenter* p) { p->failNext = true; }

void DestroyGlPresenter(GlPresenter* p) {
  if (!p) return;
  QuietMessages quiet;
  // The context's objects go with it; it shares with no other context.
  if (p->context) p->context->doneCurrent();
  delete p->context;
  delete p;
}

void MakeRasterWindow(QWindow* window) {
  window->destroy();
  window->setSurfaceType(QSurface::RasterSurface);
}
