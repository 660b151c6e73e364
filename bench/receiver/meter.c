/* meter.c - a qemu TCG plug-in that counts the guest instructions a
 * qemu-user run executes: our measure of what an action costs the receiver's
 * CPU.  Every translated block gets an inline add of its instruction count,
 * so counting costs no call per block and the count does not depend on the
 * host's speed or load.
 *
 * qemu-mipsel -plugin meter.so[,out=FILE] PROGRAM ...
 * writes "instructions N" at exit to FILE, or to standard error.
 *
 * The few declarations of qemu's plug-in interface that the meter uses are
 * written out here (API version 1, as in Debian 12's qemu 7.2), so that
 * building it needs no qemu headers.  qemu checks the version we declare when
 * it loads us, and refuses us if it no longer offers it. */
#include <inttypes.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define METER_EXPORT __attribute__((visibility("default")))

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct {
  const char *target_name;
  struct {
    int min;
    int cur;
  } version;
  bool system_emulation;
  /* further fields (system emulation only) are not read */
} qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb *tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void *userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb *tb, enum qemu_plugin_op op,
                                              void *ptr, uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb *tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void *userdata);

METER_EXPORT int qemu_plugin_version = 1;

/* One counter for all threads: the programs we measure run one thread, and
 * the inline add is not atomic. */
static uint64_t executed;
static char out_path[4096];

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed,
                                           qemu_plugin_tb_n_insns(tb));
}

static void report_count(qemu_plugin_id_t id, void *userdata) {
  (void)id;
  (void)userdata;
  char line[64];
  snprintf(line, sizeof line, "instructions %" PRIu64 "\n", executed);
  if (!out_path[0]) {
    fputs(line, stderr);
    return;
  }
  /* A count that cannot be written must not look like a measurement: the
   * file is left missing or empty and the reason goes to standard error. */
  FILE *f = fopen(out_path, "w");
  if (!f) {
    fprintf(stderr, "meter: cannot write the count to %s\n", out_path);
    return;
  }
  const int written = fputs(line, f) >= 0;
  if (fclose(f) != 0 || !written)
    fprintf(stderr, "meter: cannot write the count to %s\n", out_path);
}

METER_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info, int argc,
                                     char **argv) {
  (void)info;
  for (int i = 0; i < argc; ++i) {
    if (strncmp(argv[i], "out=", 4) == 0) {
      if (strlen(argv[i] + 4) >= sizeof out_path) {
        fprintf(stderr, "meter: the path after out= is too long\n");
        return -1;
      }
      strcpy(out_path, argv[i] + 4);
    } else {
      fprintf(stderr, "meter: unknown argument '%s' (out=FILE)\n", argv[i]);
      return -1;
    }
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, report_count, NULL);
  return 0;
}
