#include <avr/interrupt.h>

#include "avr/hal_avr.h"
#include "core/board.h"

static vkr_board board;

int main(void) {
    vkr_avr_init();
    sei();
    vkr_board_init(&board, &vkr_avr_hal);
    for (;;)
        vkr_board_poll(&board);
}
