import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** A drawing board: pick a colour and a brush, then draw with the mouse. */
class Drawing extends Sprite {
	static var paints = [0xE8383D, 0xFF8C42, 0xFFD23F, 0x3CC47C, 0x2D9CDB, 0x9B51E0, 0x8A5A3B, 0x222222];
	static var sizes = [4, 10, 20];

	var canvas = new Sprite();
	var ink = new Sprite();
	var colour = 0xE8383D;
	var size = 10;
	var drawing = false;
	var swatches:Array<Sprite> = [];
	var pencil = new Sprite();
	var frame = 0;

	public function new() {
		super();
		graphics.beginFill(0xD6EEF8);
		graphics.drawRect(0, 0, Kit.W, Kit.H);
		graphics.endFill();
		canvas.graphics.beginFill(0xFFFFFF);
		canvas.graphics.drawRoundRect(0, 0, 460, 380, 20, 20);
		canvas.graphics.endFill();
		canvas.x = 80;
		canvas.y = 10;
		addChild(canvas);
		canvas.addChild(ink);
		for (i in 0...paints.length) {
			var s = new Sprite();
			s.graphics.beginFill(paints[i]);
			s.graphics.drawCircle(0, 0, 16);
			s.graphics.endFill();
			s.x = 38;
			s.y = 30 + i * 40;
			s.buttonMode = true;
			s.addEventListener(MouseEvent.CLICK, pickColour);
			addChild(s);
			swatches.push(s);
		}
		for (i in 0...sizes.length) {
			var b = Kit.button("", 0xFFFFFF, 20, 20, makeSize(sizes[i]));
			b.graphics.beginFill(0x444444);
			b.graphics.drawCircle(10, 10, sizes[i] / 2.5 + 1);
			b.graphics.endFill();
			b.x = 3 + i * 24;
			b.y = 340;
			addChild(b);
		}
		var clear = Kit.button("", 0xFF5A5F, 40, 22, function() ink.graphics.clear());
		clear.x = 18;
		clear.y = 370;
		clear.graphics.lineStyle(3, 0xFFFFFF);
		clear.graphics.moveTo(13, 5);
		clear.graphics.lineTo(27, 17);
		clear.graphics.moveTo(27, 5);
		clear.graphics.lineTo(13, 17);
		addChild(clear);
		pencil.x = 510;
		pencil.y = 60;
		pencil.mouseEnabled = false;
		addChild(pencil);

		canvas.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) {
			drawing = true;
			ink.graphics.lineStyle(size, colour);
			ink.graphics.moveTo(canvas.mouseX, canvas.mouseY);
			ink.graphics.lineTo(canvas.mouseX + 0.5, canvas.mouseY);
		});
		addEventListener(Event.ADDED_TO_STAGE, function(_) {
			stage.addEventListener(MouseEvent.MOUSE_UP, function(_) drawing = false);
			stage.addEventListener(MouseEvent.MOUSE_MOVE, function(_) {
				if (drawing)
					ink.graphics.lineTo(canvas.mouseX, canvas.mouseY);
			});
		});
		addEventListener(Event.ENTER_FRAME, tick);
		select(0);
	}

	function makeSize(s:Int):Void->Void {
		return function() size = s;
	}

	function pickColour(e:MouseEvent) {
		select(swatches.indexOf(cast e.currentTarget));
	}

	function select(i:Int) {
		colour = paints[i];
		for (j in 0...swatches.length)
			swatches[j].scaleX = swatches[j].scaleY = (j == i) ? 1.3 : 1;
		// the pencil in the corner takes the colour chosen
		var g = pencil.graphics;
		g.clear();
		g.beginFill(colour);
		g.drawRect(-6, -30, 12, 44);
		g.endFill();
		g.beginFill(0xF5C89A);
		g.moveTo(-6, 14);
		g.lineTo(6, 14);
		g.lineTo(0, 26);
		g.endFill();
		g.beginFill(0xFF9EB5);
		g.drawRect(-6, -38, 12, 8);
		g.endFill();
	}

	function tick(_) {
		frame++;
		pencil.rotation = Math.sin(frame / 10) * 15;
		pencil.y = 60 + Math.sin(frame / 7) * 5;
	}

	static function main() {
		Kit.start(new Drawing());
	}
}
