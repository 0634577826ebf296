#include "remoteshell/net_socket_record.h"

#include "crypto/random_pool.h"

void net_noise(uint32_t word) { entropy_add_tiny(word); }
