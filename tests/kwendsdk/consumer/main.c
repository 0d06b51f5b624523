/* Decodes one vote packet and prints the library version. */
#include <k-wendsdk/kwendsdk.h>

#include <stdio.h>

int main(void)
{
    static const uint8_t packet[KWEND_VOTE_PACKET_SIZE] = {0xBE, 0x5E, 0x4B, 0x4F, 0x36,
                                                           0xDC, 0x05, 0x02, 0x48, 0x2B};
    char version[KWEND_VERSION_BUFFER_SIZE];
    uint32_t remote = 0;
    int32_t answer = 0;
    if (kwend_sdk_version(version, sizeof version) != 0 ||
        kwend_inspect(packet, &remote, &answer) != 0 || remote != 123456 || answer != 2) {
        fprintf(stderr, "consumer: unexpected result\n");
        return 1;
    }
    printf("k-wendsdk %s: remote %u answer %d\n", version, (unsigned)remote, (int)answer);
    return 0;
}
