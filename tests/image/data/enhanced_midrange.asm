; A small program for an enhanced 14-bit core part, with every region its HEX files carry.
; tests/image/data/enhanced_midrange.hex is made from it with
;   gpasm -p 16f1827 -o enhanced_midrange.hex enhanced_midrange.asm
; (keep the EEPROM bytes in one block: gpasm 1.4 misplaces a second org in that area).
        #include <p16f1827.inc>
        __CONFIG _CONFIG1, 0x3FE4
        __CONFIG _CONFIG2, 0x1603
        __IDLOCS 0x1234

        org     0
        goto    start
        org     4
        retfie
start   movlw   0x55
        movwf   0x20
        goto    $

        org     0x0FF8
        dt      "velkaro"

        org     0xF000
        de      0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xA5
        end
