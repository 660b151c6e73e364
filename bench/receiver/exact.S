# A guest program whose instruction count is known exactly, for the meter's
# smoke test: "exact D" (D a digit 1..9) runs a three-instruction loop
# 1000 x D times and exits, 8 + 3000 x D instructions in all (the loop's
# first pass is in the first block).  No C library: nothing else runs.
	.set	noreorder
	.text
	.globl	__start
__start:
	lw	$t1, 8($sp)		# argv[1]
	lbu	$t1, 0($t1)		# its first character
	addiu	$t1, $t1, -48		# as a digit
	addiu	$t0, $zero, 1000
	mul	$t0, $t0, $t1
1:	addiu	$t0, $t0, -1
	bnez	$t0, 1b
	nop
	addiu	$a0, $zero, 0		# exit(0)
	addiu	$v0, $zero, 4001
	syscall
