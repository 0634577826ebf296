#include "crypto/random_pool.h"
#include "remoteshell/net/net_socket_record.h"

void net_noise(uint32_t word) { entropy_add_tiny(word); }
