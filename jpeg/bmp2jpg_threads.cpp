// bmp2jpg_threads.cpp - jpgcmd's encoding of large pictures on several
// cores.  The scan is cut into runs of MCUs; each thread takes runs and does
// all of a run's work: it reads the lines (from memory, or from the bitmap's
// file, so that nothing holds the whole picture), converts and transforms
// them and codes the run into a buffer of its own.  The runs are then
// spliced in order, which gives the stream of the single-threaded encoder.
// Only the stdio build (jpgcmd) has it; the plug-in runs on one task and
// never starts a thread.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include "bmp2jpg.h"
#include "ijint.h"

namespace {

// Where the lines of an MCU row are: in memory (fd < 0) from top on, step
// bytes apart; or in a file, a bottom-up bitmap of `height` rows of `stride`
// bytes from byte `offset` on.
struct Lines {
  const uint8_t *top;
  int32_t step;
  int fd;
  int64_t offset;
  int32_t stride, height;
};

// What a thread transforms rows with.
struct Scratch {
  int16_t *coeff; // one MCU row
  uint8_t *edge;
  uint8_t *band; // an MCU row's lines read from the file
};

// All `bytes` from `at` on; false at an error or the file's end.
bool ReadAt(int fd, uint8_t *to, size_t bytes, int64_t at) {
  while (bytes > 0) {
    const ssize_t got = pread(fd, to, bytes, off_t(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    to += got;
    bytes -= size_t(got);
    at += got;
  }
  return true;
}

// Transforms one MCU row into s.coeff, reading its lines into s.band first
// when they are in a file; false when they could not be read.
bool Transform(const IjEncoder *e, const Lines &l, int32_t row, const Scratch &s) {
  const int32_t mcuHeight = e->mcu.height;
  if (l.fd < 0) {
    ij::TransformRow(e, row, l.top + ptrdiff_t(l.step) * mcuHeight * row, l.step, s.coeff, s.edge);
    return true;
  }
  // The file holds the picture's bottom line first, so the row's lines lie
  // together with its lowest line in front.
  const int32_t count = ij::RowLines(e, row);
  const int64_t below = int64_t(l.height) - int64_t(row) * mcuHeight - count;
  if (!ReadAt(l.fd, s.band, size_t(count) * size_t(l.stride), l.offset + below * l.stride))
    return false;
  ij::TransformRow(e, row, s.band + size_t(count - 1) * size_t(l.stride), -l.stride, s.coeff,
                   s.edge);
  return true;
}

// Scratch for one thread in one allocation; false when memory is short.
bool TakeScratch(const IjEncoder *e, const Lines &l, Scratch *s) {
  const size_t coeff = ij::RowCoeffs(e) * sizeof(int16_t);
  const size_t edge = ij::EdgeBytes(e) + 1;
  const size_t band = l.fd < 0 ? 0 : size_t(e->mcu.height) * size_t(l.stride);
  uint8_t *all = static_cast<uint8_t *>(malloc(coeff + edge + band));
  s->coeff = reinterpret_cast<int16_t *>(all);
  s->edge = all ? all + coeff : nullptr;
  s->band = all ? all + coeff + edge : nullptr;
  return all != nullptr;
}

void DropScratch(Scratch *s) {
  free(s->coeff);
  s->coeff = nullptr;
}

// One run: MCUs first ... end - 1, coded by its own copy of the encoder.
struct Run {
  int32_t first, end;
  IjEncoder coder;
  IjStream stream;
  IjStatus status;
  bool done; // coded, or failed
};

struct Job {
  const IjEncoder *encoder;
  Lines lines;
  Run *runs;
  int32_t count;
  IjStream *stream; // where the runs go, in order
  pthread_mutex_t lock;
  int32_t next;    // the next run to take
  int32_t spliced; // runs in the stream so far
  bool splicing;   // a thread is splicing
  IjStatus status; // the first failure, of a run or of splicing
};

// Transforms and codes one run into its own buffer.
IjStatus CodeRun(const Job &job, Run &run, const Scratch &s) {
  const IjEncoder *e = job.encoder;
  const int32_t cols = ij::McuColumns(e);
  const int32_t step = e->mcu.coeffStep;
  // Room for the worst case of every MCU and its marker, up to what a
  // stream can hold: a run that needs more fails, and the scan is coded on
  // one thread.
  size_t bytes = size_t(run.end - run.first) * (ij::RoomForBlocks(step / 64) + 4) + 64;
  if (bytes > IJ_MAX_STREAM_BYTES) bytes = IJ_MAX_STREAM_BYTES;
  run.stream = IjStream{int32_t(bytes), 0, {0, 0, 0}, static_cast<uint8_t *>(malloc(bytes))};
  if (!run.stream.buffer) return kNoMemory;
  run.coder = *e;

  const int32_t firstRow = run.first / cols, lastRow = (run.end - 1) / cols;
  // Without restart markers a run starts a row (PlanRuns), and its DC
  // predictors carry on from the last MCU of the row above.
  if (e->restartInterval == 0 && run.first > 0) {
    if (!Transform(e, job.lines, firstRow - 1, s)) return kRowsUnreadable;
    ij::SegmentState(&run.coder, run.first, s.coeff + size_t(cols - 1) * size_t(step));
  } else {
    ij::SegmentState(&run.coder, run.first, nullptr);
  }
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    if (!Transform(e, job.lines, row, s)) return kRowsUnreadable;
    const int32_t from = row == firstRow ? run.first - row * cols : 0;
    const int32_t to = row == lastRow ? run.end - row * cols : cols;
    const IjStatus st = ij::CodeMcus(s.coeff, from, to, &run.stream, &run.coder);
    if (st != IJ_STS_OK) return st;
  }
  return IJ_STS_OK;
}

// Splices the runs that are done, in order, unless another thread is at
// it: while the last runs are coded the first ones already go into the
// stream.  Whoever finds the next run done under the lock splices it, so no
// run is left behind.
void Splice(Job *job) {
  pthread_mutex_lock(&job->lock);
  if (!job->splicing) {
    job->splicing = true;
    while (job->status == IJ_STS_OK && job->spliced < job->count && job->runs[job->spliced].done) {
      Run &run = job->runs[job->spliced];
      pthread_mutex_unlock(&job->lock);
      IjStatus st = run.status;
      if (st == IJ_STS_OK && !ij::AppendCoded(job->stream, run.stream.buffer, run.stream.position))
        st = IJ_STS_STREAM_FULL;
      free(run.stream.buffer);
      run.stream.buffer = nullptr;
      pthread_mutex_lock(&job->lock);
      job->status = st;
      ++job->spliced;
    }
    job->splicing = false;
  }
  pthread_mutex_unlock(&job->lock);
}

// Takes runs until none is left or one has failed.
void TakeRuns(Job *job, const Scratch &s) {
  for (;;) {
    pthread_mutex_lock(&job->lock);
    const int32_t i = job->status == IJ_STS_OK ? job->next++ : job->count;
    pthread_mutex_unlock(&job->lock);
    if (i >= job->count) return;
    Run &run = job->runs[i];
    const IjStatus st = s.coeff ? CodeRun(*job, run, s) : kNoMemory;
    pthread_mutex_lock(&job->lock);
    run.status = st;
    run.done = true;
    pthread_mutex_unlock(&job->lock);
    Splice(job);
  }
}

struct Helper {
  Job *job;
  pthread_t thread;
};

void *Help(void *arg) {
  Job *job = static_cast<Helper *>(arg)->job;
  Scratch s;
  TakeScratch(job->encoder, job->lines, &s); // without it, its runs fail
  TakeRuns(job, s);
  DropScratch(&s);
  return nullptr;
}

// Where the runs of `threads` threads start: about two runs a thread for an
// even load; where an interval starts with restart markers, else where an
// MCU row starts.
int32_t PlanRuns(const IjEncoder *e, int32_t threads, Run *runs, int32_t most) {
  const int32_t cols = ij::McuColumns(e);
  const int64_t mcus = int64_t(ij::McuRows(e)) * cols;
  const int64_t unit = e->restartInterval > 0 ? e->restartInterval : cols;
  const int64_t units = (mcus + unit - 1) / unit;
  int64_t count = 2 * int64_t(threads);
  if (count > units) count = units;
  if (count > most) count = most;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t first = units * i / count * unit, end = units * (i + 1) / count * unit;
    runs[i].first = int32_t(first);
    runs[i].end = int32_t(end < mcus ? end : mcus);
    runs[i].stream.buffer = nullptr;
    runs[i].status = IJ_STS_OK;
    runs[i].done = false;
  }
  return int32_t(count);
}

constexpr int32_t kMostRuns = 32;

// Codes the scan in runs on `threads` threads (this one among them) and
// splices them into the stream; IJ_STS_OK, kRowsUnreadable, or another
// failure after which the caller codes the scan on one thread instead.
IjStatus CodeInRuns(const Lines &lines, IjStream *stream, IjEncoder *e, int32_t threads) {
  Run *runs = static_cast<Run *>(malloc(kMostRuns * sizeof(Run)));
  if (!runs) return kNoMemory;
  Job job;
  job.encoder = e;
  job.lines = lines;
  job.runs = runs;
  job.count = PlanRuns(e, threads, runs, kMostRuns);
  job.stream = stream;
  job.next = job.spliced = 0;
  job.splicing = false;
  job.status = IJ_STS_OK;
  pthread_mutex_init(&job.lock, nullptr);
  Helper helpers[kMostRuns];
  int32_t started = 0;
  for (; started < threads - 1 && started < job.count - 1; ++started) {
    helpers[started].job = &job;
    if (pthread_create(&helpers[started].thread, nullptr, Help, &helpers[started]) != 0) break;
  }
  Scratch s;
  TakeScratch(e, lines, &s);
  TakeRuns(&job, s);
  DropScratch(&s);
  for (int32_t i = 0; i < started; ++i) pthread_join(helpers[i].thread, nullptr);
  pthread_mutex_destroy(&job.lock);
  const IjStatus st = job.status;
  for (int32_t i = 0; i < job.count; ++i) free(runs[i].stream.buffer); // those never spliced
  free(runs);
  return st;
}

// The scan MCU row by MCU row on this thread alone.
IjStatus CodeAlone(const Lines &lines, IjStream *stream, IjEncoder *e) {
  Scratch s;
  if (!TakeScratch(e, lines, &s)) return kNoMemory;
  IjStatus st = IJ_STS_OK;
  for (int32_t row = 0, rows = ij::McuRows(e); row < rows && st == IJ_STS_OK; ++row)
    st = Transform(e, lines, row, s) ? ij::CodeRow(s.coeff, stream, e) : kRowsUnreadable;
  DropScratch(&s);
  return st;
}

// RowsBegin, the scan, RowsEnd.  The runs give way to one thread when they
// fail for want of memory or stream room, since only coding in order tells
// where a full stream stops; an encoder that stops half way cannot be
// finished.
IjStatus Encode(const Lines &lines, IjStream *stream, IjEncoder *e, int32_t threads) {
  IjStatus st = ij::RowsBegin(stream, e);
  if (st != IJ_STS_OK) return st;
  const int64_t startBits = stream->position;
  bool alone = true;
  if (threads > 1) {
    IjEncoder *before = static_cast<IjEncoder *>(malloc(sizeof(IjEncoder)));
    if (before) {
      *before = *e;
      st = CodeInRuns(lines, stream, e, threads);
      alone = st != IJ_STS_OK && st != kRowsUnreadable;
      if (alone) {
        *e = *before;
        stream->position = int32_t(startBits);
      }
      free(before);
    }
  }
  if (alone) st = CodeAlone(lines, stream, e);
  if (st != IJ_STS_OK) {
    e->initialised &= ~1;
    return st;
  }
  return ij::RowsEnd(startBits, stream, e);
}

} // namespace

inline namespace DIB_BUILD {

int32_t EncodeThreads() {
  const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  return cpus < 1 ? 1 : cpus > 16 ? 16 : int32_t(cpus);
}

IjStatus CompressOnThreads(const uint8_t *source, int32_t step, IjStream *stream, IjEncoder *e,
                           int32_t threads) {
  if (!source || !stream || !e) return IJ_STS_ARG;
  if (threads < 2) return ijxCompress(&source, &step, stream, e);
  const Lines lines = {source, step, -1, 0, 0, 0};
  const IjStatus st = Encode(lines, stream, e, threads);
  return st == IJ_STS_MODE ? ijxCompress(&source, &step, stream, e) : st;
}

IjStatus CompressFileOnThreads(int fd, int64_t offset, int32_t stride, int32_t height,
                               IjStream *stream, IjEncoder *e, int32_t threads) {
  if (fd < 0 || offset < 0 || stride <= 0 || !stream || !e) return IJ_STS_ARG;
  // The rows have to be the encoder's lines, whole.
  if (height != e->image.height ||
      int64_t(stride) < int64_t(e->image.width) * (e->image.bitsPerPixel / 8))
    return IJ_STS_ARG;
  const Lines lines = {nullptr, 0, fd, offset, stride, height};
  return Encode(lines, stream, e, threads);
}

} // namespace DIB_BUILD
