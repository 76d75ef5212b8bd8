' A million passes of a For loop that adds to a variable.
s = 0
For i = 1 To 1000000
   s = s + 1
Next
WScript.Echo s
