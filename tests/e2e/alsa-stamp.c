/* An ALSA playback device for the onset tests: it takes frames at the stream's
 * rate, as a sound card would, and appends each block the player hands over to
 * a file with the CLOCK_MONOTONIC_RAW time at which its first frame plays.
 *
 * Record: u64 first-frame time (ns), u32 rate, u32 channels, u32 frames, then
 * frames * channels signed 16-bit samples.
 *
 *   pcm_type.stamp { lib "/path/libasound_module_pcm_stamp.so" }
 *   pcm.!default { type stamp; file "/path/out.stamps" }
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

struct stamp {
    snd_pcm_ioplug_t io;
    int out;
    int running;
    uint64_t written;  /* frames taken since prepare */
    uint64_t base;     /* frame that plays at base_ns */
    uint64_t base_ns;
    unsigned char *held; /* blocks taken before start, stamped at start */
    size_t held_bytes;
};

static uint64_t now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC_RAW, &t);
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

/* Frames played by now; a card that ran dry starts again with the next block. */
static uint64_t played(struct stamp *s) {
    const uint64_t t = now_ns();
    uint64_t frames = s->base + (t - s->base_ns) * s->io.rate / 1000000000u;
    if (frames >= s->written) {
        s->base = s->written;
        s->base_ns = t;
        frames = s->written;
    }
    return frames;
}

static void put_record(struct stamp *s, uint64_t first_ns, const void *data, uint32_t frames) {
    uint32_t header[5];
    memcpy(header, &first_ns, 8);
    header[2] = s->io.rate;
    header[3] = s->io.channels;
    header[4] = frames;
    /* A short write would only make the test fail to find its onsets. */
    if (write(s->out, header, sizeof header) == (ssize_t)sizeof header)
        (void)!write(s->out, data, (size_t)frames * s->io.channels * 2);
}

static int stamp_start(snd_pcm_ioplug_t *io) {
    struct stamp *s = io->private_data;
    s->running = 1;
    s->base = 0;
    s->base_ns = now_ns();
    /* What was taken before the start plays from now, in order. */
    size_t at = 0;
    uint64_t frame = 0;
    while (at < s->held_bytes) {
        uint32_t frames;
        memcpy(&frames, s->held + at, 4);
        put_record(s, s->base_ns + frame * 1000000000u / io->rate, s->held + at + 4, frames);
        frame += frames;
        at += 4 + (size_t)frames * io->channels * 2;
    }
    s->held_bytes = 0;
    return 0;
}

static int stamp_stop(snd_pcm_ioplug_t *io) {
    ((struct stamp *)io->private_data)->running = 0;
    return 0;
}

static int stamp_prepare(snd_pcm_ioplug_t *io) {
    struct stamp *s = io->private_data;
    s->running = 0;
    s->written = 0;
    s->held_bytes = 0;
    return 0;
}

static snd_pcm_sframes_t stamp_pointer(snd_pcm_ioplug_t *io) {
    struct stamp *s = io->private_data;
    return (snd_pcm_sframes_t)((s->running ? played(s) : 0) % io->buffer_size);
}

static snd_pcm_sframes_t stamp_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                        snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    struct stamp *s = io->private_data;
    const unsigned char *data = (const unsigned char *)areas[0].addr + (areas[0].first + areas[0].step * offset) / 8;
    const size_t bytes = (size_t)size * io->channels * 2;
    if (s->running) {
        played(s);
        put_record(s, s->base_ns + (s->written - s->base) * 1000000000u / io->rate, data, (uint32_t)size);
    } else {
        unsigned char *more = realloc(s->held, s->held_bytes + 4 + bytes);
        if (more == NULL) return -ENOMEM;
        s->held = more;
        const uint32_t frames = (uint32_t)size;
        memcpy(s->held + s->held_bytes, &frames, 4);
        memcpy(s->held + s->held_bytes + 4, data, bytes);
        s->held_bytes += 4 + bytes;
    }
    s->written += size;
    return (snd_pcm_sframes_t)size;
}

static int stamp_close(snd_pcm_ioplug_t *io) {
    struct stamp *s = io->private_data;
    close(s->out);
    close(io->poll_fd);
    free(s->held);
    free(s);
    return 0;
}

static const snd_pcm_ioplug_callback_t callbacks = {
    .start = stamp_start, .stop = stamp_stop, .pointer = stamp_pointer, .transfer = stamp_transfer,
    .close = stamp_close, .prepare = stamp_prepare,
};

SND_PCM_PLUGIN_DEFINE_FUNC(stamp) {
    (void)root;
    const char *file = NULL;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0) continue;
        if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0) continue;
        if (strcmp(id, "file") == 0 && snd_config_get_string(n, &file) >= 0) continue;
        return -EINVAL;
    }
    if (file == NULL || stream != SND_PCM_STREAM_PLAYBACK) return -EINVAL;
    struct stamp *s = calloc(1, sizeof *s);
    if (s == NULL) return -ENOMEM;
    s->out = open(file, O_WRONLY | O_CREAT | O_APPEND, 0644);
    s->io.version = SND_PCM_IOPLUG_VERSION;
    s->io.name = "onset stamps";
    s->io.callback = &callbacks;
    s->io.private_data = s;
    s->io.poll_fd = eventfd(0, EFD_NONBLOCK);  /* always writable: the card never blocks a writer */
    s->io.poll_events = POLLOUT;
    int err = snd_pcm_ioplug_create(&s->io, name, stream, mode);
    if (err < 0) return err;
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED, SND_PCM_ACCESS_MMAP_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_S16_LE};
    if ((err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_ACCESS, 2, access)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_RATE, 8000, 96000)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 65536)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
        snd_pcm_ioplug_delete(&s->io);
        return err;
    }
    *pcmp = s->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(stamp);
