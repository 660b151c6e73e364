// bmp2jpg_threads.cpp - jpgcmd's encoding of large pictures on several
// cores: worker threads convert and transform MCU rows into a ring of row
// buffers, the calling thread codes them in order, so the stream is the one
// the single-threaded encoder writes.  Only the stdio build (jpgcmd) has it;
// the plug-in runs on one task and never starts a thread.
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include "bmp2jpg.h"
#include "ijint.h"

namespace {

struct Pipeline {
  const IjEncoder *encoder;
  int32_t rows;
  int32_t slots;
  size_t rowCoeffs, edgeBytes;
  int16_t *coeff;   // slots x rowCoeffs
  int32_t *slotRow; // the row whose coefficients a slot holds, -1 while none
  pthread_mutex_t lock;
  pthread_cond_t ready; // a row was transformed
  pthread_cond_t freed; // a row was coded, its slot may be reused
  int32_t next;         // the next row to transform
  int32_t coded;        // rows coded so far
  bool stop;
};

struct Worker {
  Pipeline *pipe;
  uint8_t *edge;
  pthread_t thread;
};

void *Work(void *arg) {
  Worker *w = static_cast<Worker *>(arg);
  Pipeline *p = w->pipe;
  pthread_mutex_lock(&p->lock);
  for (;;) {
    while (!p->stop && p->next < p->rows && p->next >= p->coded + p->slots)
      pthread_cond_wait(&p->freed, &p->lock);
    if (p->stop || p->next >= p->rows) break;
    const int32_t row = p->next++;
    const int32_t slot = row % p->slots;
    pthread_mutex_unlock(&p->lock);
    ij::TransformRow(p->encoder, row, p->coeff + size_t(slot) * p->rowCoeffs, w->edge);
    pthread_mutex_lock(&p->lock);
    p->slotRow[slot] = row;
    pthread_cond_broadcast(&p->ready);
  }
  pthread_mutex_unlock(&p->lock);
  return nullptr;
}

} // namespace

inline namespace DIB_BUILD {

int32_t EncodeThreads() {
  const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  return cpus < 1 ? 1 : cpus > 8 ? 8 : int32_t(cpus);
}

IjStatus CompressOnThreads(const uint8_t *source, int32_t step, IjStream *stream, IjEncoder *e,
                           int32_t threads) {
  if (!source || !stream || !e) return IJ_STS_ARG;
  if (threads < 1 || ij::McuRows(e) < 2) return ijxCompress(&source, &step, stream, e);
  IjStatus st = ij::RowsBegin(source, step, stream, e);
  if (st == IJ_STS_MODE) return ijxCompress(&source, &step, stream, e);
  if (st != IJ_STS_OK) return st;
  const int64_t startBits = stream->position;

  Pipeline p;
  p.encoder = e;
  p.rows = ij::McuRows(e);
  p.slots = 2 * threads + 2;
  p.rowCoeffs = ij::RowCoeffs(e);
  p.edgeBytes = ij::EdgeBytes(e);
  p.next = p.coded = 0;
  p.stop = false;
  p.coeff = static_cast<int16_t *>(malloc(size_t(p.slots) * p.rowCoeffs * sizeof(int16_t)));
  p.slotRow = static_cast<int32_t *>(malloc(size_t(p.slots) * sizeof(int32_t)));
  Worker *workers = static_cast<Worker *>(calloc(size_t(threads), sizeof(Worker)));
  uint8_t *edges = static_cast<uint8_t *>(malloc(size_t(threads) * (p.edgeBytes + 1)));
  pthread_mutex_init(&p.lock, nullptr);
  pthread_cond_init(&p.ready, nullptr);
  pthread_cond_init(&p.freed, nullptr);
  int32_t started = 0;
  if (p.coeff && p.slotRow && workers && edges) {
    for (int32_t i = 0; i < p.slots; ++i) p.slotRow[i] = -1;
    for (; started < threads; ++started) {
      workers[started].pipe = &p;
      workers[started].edge = edges + size_t(started) * (p.edgeBytes + 1);
      if (pthread_create(&workers[started].thread, nullptr, Work, &workers[started]) != 0) break;
    }
  }

  // Without any worker (no memory, no thread) this thread transforms each
  // row itself.
  int16_t *own = nullptr;
  uint8_t *ownEdge = nullptr;
  if (started == 0) {
    own = static_cast<int16_t *>(malloc(p.rowCoeffs * sizeof(int16_t)));
    ownEdge = static_cast<uint8_t *>(malloc(p.edgeBytes + 1));
    if (!own || !ownEdge) st = IJ_STS_ARG;
  }
  for (int32_t row = 0; row < p.rows && st == IJ_STS_OK; ++row) {
    const int32_t slot = row % p.slots;
    const int16_t *coeff = own;
    if (started > 0) {
      pthread_mutex_lock(&p.lock);
      while (p.slotRow[slot] != row) pthread_cond_wait(&p.ready, &p.lock);
      pthread_mutex_unlock(&p.lock);
      coeff = p.coeff + size_t(slot) * p.rowCoeffs;
    } else {
      ij::TransformRow(e, row, own, ownEdge);
    }
    st = ij::CodeRow(coeff, stream, e);
    if (started > 0) {
      pthread_mutex_lock(&p.lock);
      p.coded = row + 1;
      if (st != IJ_STS_OK) p.stop = true;
      pthread_cond_broadcast(&p.freed);
      pthread_mutex_unlock(&p.lock);
    }
  }
  if (st != IJ_STS_OK && started > 0) { // a row failed before the last: let the workers go
    pthread_mutex_lock(&p.lock);
    p.stop = true;
    pthread_cond_broadcast(&p.freed);
    pthread_mutex_unlock(&p.lock);
  }
  free(ownEdge);
  free(own);
  for (int32_t i = 0; i < started; ++i) pthread_join(workers[i].thread, nullptr);
  pthread_cond_destroy(&p.freed);
  pthread_cond_destroy(&p.ready);
  pthread_mutex_destroy(&p.lock);
  free(edges);
  free(workers);
  free(p.slotRow);
  free(p.coeff);
  if (st != IJ_STS_OK) {
    e->initialised &= ~1;
    return st;
  }
  return ij::RowsEnd(startBits, stream, e);
}

} // namespace DIB_BUILD
