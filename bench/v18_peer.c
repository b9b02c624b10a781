/* A peer for the decoder benchmark, through spandsp's public V.18 interface only.
 *   v18_peer rx FILE.wav         prints the text its 45.45-baud TDD receiver finds (8 kHz mono)
 *   v18_peer rx50 FILE.wav       the same with its 50-baud receiver
 *   v18_peer tx FILE.wav TEXT    writes its TDD transmitter's audio for TEXT (8 kHz mono 16-bit)
 */
#include <sndfile.h>
#include <spandsp.h>
#include <stdio.h>
#include <string.h>

static void putText(void* user, const uint8_t* msg, int len)
{
    (void)user;
    if (len > 0)
        fwrite(msg, 1, (size_t)len, stdout);
}

static int receive(const char* path, int mode)
{
    SF_INFO info;
    memset(&info, 0, sizeof info);
    SNDFILE* in = sf_open(path, SFM_READ, &info);
    if (!in || info.samplerate != 8000 || info.channels != 1) {
        fprintf(stderr, "v18_peer: %s: need an 8 kHz mono file\n", path);
        return 2;
    }
    v18_state_t* v18 = v18_init(NULL, 0, mode, putText, NULL);
    int16_t block[160];
    sf_count_t got;
    while ((got = sf_read_short(in, block, 160)) > 0)
        v18_rx(v18, block, (int)got);
    int16_t quiet[160] = {0};
    for (int i = 0; i < 50; ++i)
        v18_rx(v18, quiet, 160);
    fputc('\n', stdout);
    v18_free(v18);
    sf_close(in);
    return 0;
}

static int transmit(const char* path, const char* text)
{
    SF_INFO info;
    memset(&info, 0, sizeof info);
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(path, SFM_WRITE, &info);
    if (!out) {
        fprintf(stderr, "v18_peer: cannot write %s\n", path);
        return 2;
    }
    v18_state_t* v18 = v18_init(NULL, 1, V18_MODE_5BIT_45, putText, NULL);
    v18_put(v18, text, -1);
    int16_t block[160];
    /* Transmit until the queue has drained and a second of idle has followed. */
    int idle = 0;
    for (int i = 0; i < 8000 * 60 / 160 && idle < 50; ++i) {
        memset(block, 0, sizeof block);
        const int n = v18_tx(v18, block, 160);
        idle = n == 0 ? idle + 1 : 0;
        sf_write_short(out, block, 160);
    }
    v18_free(v18);
    sf_close(out);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "rx") == 0)
        return receive(argv[2], V18_MODE_5BIT_45);
    if (argc == 3 && strcmp(argv[1], "rx50") == 0)
        return receive(argv[2], V18_MODE_5BIT_50);
    if (argc == 4 && strcmp(argv[1], "tx") == 0)
        return transmit(argv[2], argv[3]);
    fprintf(stderr, "usage: v18_peer rx|rx50 FILE.wav | v18_peer tx FILE.wav TEXT\n");
    return 2;
}
